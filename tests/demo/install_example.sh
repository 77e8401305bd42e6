#!/usr/bin/env bash
# install_example.sh BUILD_DIR EXAMPLE_DIR [CXX_FLAGS [LINKER_FLAGS [MANUAL]]]
# - jolp as an outside project meets it: installs this build into a
# temporary prefix; checks that what the README sends an author to is there
# (the tools in bin/ run, the effect format's manual, the examples' sources,
# the umbrella header compiles and every installed header finds what it
# includes); configures and builds the installed copy of the example
# (jolp_add_demo) against that prefix alone, gives it a music file made
# with bin/jolp_ogg, and captures its first second, which must give 30
# frames that are not all black. The flags are those the installed
# libraries were built with: a sanitizer build's libraries need the example
# built and linked the same way. MANUAL, a header whose comment shows the
# example's program as code (its lines "//" and "//     CODE"), must show
# EXAMPLE_DIR/NAME.cpp exactly, so that what it teaches is what was built.
set -euo pipefail
build=$1
example=$2
cxx_flags=${3:-}
linker_flags=${4:-}
manual=${5:-}
name=$(basename "$example")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

if [[ -n $manual ]]; then
    # From the code's first line (its file's head comment) to the comment's end.
    sed -n '/^\/\/     \/\/ '"$name"' - /,/^[^/]/p' "$manual" | sed '$d' | sed -e 's|^//     ||' -e 's|^//$||' \
        > "$work/manual.cpp"
    diff -u "$example/$name.cpp" "$work/manual.cpp" ||
        { echo "the code in $manual is not $example/$name.cpp"; exit 1; }
fi

cmake --install "$build" --prefix "$work/prefix" > "$work/install.log"
prefix=$work/prefix

# The tools, run from the prefix.
for tool in jolp3d jolp_preview jolp_ogg jolpsync; do
  [ -x "$prefix/bin/$tool" ] || fail "bin/$tool is not installed"
  "$prefix/bin/$tool" --help > "$work/help.txt" || fail "bin/$tool --help exits $?"
  grep -qi "^usage: $tool" "$work/help.txt" || fail "bin/$tool --help: $(head -1 "$work/help.txt")"
  if grep -qi tarvel "$work/help.txt"; then fail "bin/$tool --help names Tarvel"; fi
done

# The effect format's manual beside the effects, the examples as sources,
# and the package's demo function.
[ -f "$prefix/share/jolp/shaders/README.md" ] || fail "share/jolp/shaders/README.md is missing"
[ -f "$prefix/share/jolp/shaders/master.fx" ] || fail "share/jolp/shaders has no standard effects"
for file in CMakeLists.txt lantern.cpp content.cpp lantern.fx; do
  [ -f "$prefix/share/jolp/examples/lantern/$file" ] || fail "share/jolp/examples/lantern/$file is missing"
done
grep -q "jolp_add_demo(" "$prefix/share/jolp/examples/$name/CMakeLists.txt" ||
  fail "the installed $name does not build with jolp_add_demo"

# Every header finds what it includes among the installed ones, and the
# umbrella header compiles alone.
include=$prefix/include/jolp
[ -f "$include/jolp.h" ] || fail "include/jolp/jolp.h is missing"
while IFS= read -r header; do
  { grep -o '^#include "[^"]*"' "$header" || true; } | cut -d'"' -f2 | while IFS= read -r wanted; do
    [ -f "$include/$wanted" ] || [ -f "$prefix/include/$wanted" ] ||
      fail "${header#"$include"/} includes $wanted, which is not installed"
  done
done < <(find "$include" -name '*.h')
printf '#include "jolp/jolp.h"\nint main() { return 0; }\n' > "$work/umbrella.cpp"
${CXX:-c++} -std=c++20 -fsyntax-only -I"$include" -I"$prefix/include" $(pkg-config --cflags sdl2 epoxy) \
  "$work/umbrella.cpp" || fail "jolp/jolp.h does not compile on its own"
echo "$(find "$include" -name '*.h' | wc -l) headers installed"

# The example as an author copies it from the package.
cp -r "$prefix/share/jolp/examples/$name" "$work/source"
example=$work/source
generator=()
command -v ninja > /dev/null && generator=(-G Ninja)
cmake -S "$example" -B "$work/build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_CXX_FLAGS="$cxx_flags" \
      -DCMAKE_EXE_LINKER_FLAGS="$linker_flags" > "$work/configure.log" ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j 2 > "$work/build.log" || { cat "$work/build.log"; exit 1; }

[ -f "$work/build/run/shaders/master.fx" ] || fail "run/shaders lacks the standard effects"
if [ -f "$example/$name.fx" ]; then
  [ -f "$work/build/run/shaders/$name.fx" ] || fail "run/shaders lacks $name.fx"
fi
# Music made with the installed tool, a tone of two seconds, in place of
# what the data set wrote: the demo plays it.
mkdir -p "$work/build/run/media"
"$prefix/bin/jolp_ogg" --tone 2 "$work/build/run/media/music.ogg" || fail "jolp_ogg could not make the music"
"$work/build/run/$name" --capture "$work/frames" --to 1 --size 320x180

# The installed inspector and previewer over the example's own data: a
# picture through its first camera.
scene=$work/build/run/media/scenes/scene.JOLP3D
if [ -f "$scene" ]; then
camera=$("$prefix/bin/jolp3d" info "$scene" | sed -n 's/^ *"\([^"]*\)" transform track.*/\1/p' | head -1)
[ -n "$camera" ] || fail "jolp3d info $scene lists no camera"
(cd "$work" && "$prefix/bin/jolp_preview" --data "$work/build/run" --size 320x240 "$camera" 1 > preview.txt) ||
  fail "jolp_preview could not render $camera"
[ -s "$work/preview_${camera}_1.00.png" ] || fail "jolp_preview wrote no preview_${camera}_1.00.png: $(cat "$work/preview.txt")"
fi

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
