#!/usr/bin/env bash
# install_example.sh BUILD_DIR EXAMPLE_DIR [CXX_FLAGS [LINKER_FLAGS [MANUAL]]]
# - jolp as an outside project meets it: installs this build into a
# temporary prefix, configures and builds the example against that prefix
# alone, and captures its first second, which must give 30 frames that are
# not all black. The flags are those the installed libraries were built
# with: a sanitizer build's libraries need the example built and linked the
# same way. MANUAL, a header whose comment shows the example's program as
# code (its lines "//" and "//     CODE"), must show EXAMPLE_DIR/NAME.cpp
# exactly, so that what it teaches is what was built.
set -euo pipefail
build=$1
example=$2
cxx_flags=${3:-}
linker_flags=${4:-}
manual=${5:-}
name=$(basename "$example")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ -n $manual ]]; then
    # From the code's first line (its file's head comment) to the comment's end.
    sed -n '/^\/\/     \/\/ '"$name"' - /,/^[^/]/p' "$manual" | sed '$d' | sed -e 's|^//     ||' -e 's|^//$||' \
        > "$work/manual.cpp"
    diff -u "$example/$name.cpp" "$work/manual.cpp" ||
        { echo "the code in $manual is not $example/$name.cpp"; exit 1; }
fi

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
generator=()
command -v ninja > /dev/null && generator=(-G Ninja)
cmake -S "$example" -B "$work/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_FLAGS="$cxx_flags" \
      -DCMAKE_EXE_LINKER_FLAGS="$linker_flags" > "$work/configure.log" ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j 2 > "$work/build.log" || { cat "$work/build.log"; exit 1; }

# The executable in its own run folder, or in run/ beside its data.
program=$work/build/run/$name
[[ -d $program ]] && program=$program/$name
"$program" --capture "$work/frames" --to 1 --size 320x180

python3 - "$work/frames" <<'PY'
import pathlib, struct, sys, zlib

def pixels(path):
    """The RGB bytes of an 8-bit RGB PNG, unfiltered."""
    data = path.read_bytes()
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 2), f"{path.name}: not 8-bit RGB"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, out = zlib.decompress(idat), width * 3, bytearray()
    prev = bytearray(stride)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 3] if i >= 3 else 0
            b, c = prev[i], prev[i - 3] if i >= 3 else 0
            if kind == 1: line[i] = (line[i] + a) & 255
            elif kind == 2: line[i] = (line[i] + b) & 255
            elif kind == 3: line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        out += line
        prev = line
    return out

frames = sorted(pathlib.Path(sys.argv[1]).glob("*.png"))
assert len(frames) == 30, f"{len(frames)} frames for the first second at 30 fps"
# The first shot rises from black: its last frame of the second is lit.
lit = sum(1 for v in pixels(frames[-1]) if v > 24)
assert lit > 1000, f"{frames[-1].name} is nearly black ({lit} bright channel values)"
print(f"{len(frames)} frames, {lit} bright channel values in the last")
PY
