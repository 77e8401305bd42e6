#!/usr/bin/python3
"""The browser build in a real browser: Debian's chromium, headless, with
its software WebGL 2, driven through chromium-driver.

  browser_test.py WEB_DIR NATIVE_EXE [--title TITLE]

WEB_DIR holds the page scripts/web.sh built (index.html, .js, .wasm, .data);
NATIVE_EXE is the same demo built natively. The test serves WEB_DIR on a
local port and checks that

  * at five moments the page's frame (index.html?frame=S) matches the
    native capture of the same moment (--capture --fps 30 --from S): mean
    absolute difference under 2 %, and no 16 x 16 block off by more than
    10 % on average (rasterizers differ slightly in float and filtering);
  * the page plays from a click, Escape ends it and the page says so;
  * nothing is logged to the console as an error on the way;
  * a browser without float render targets (EXT_color_buffer_float hidden
    from the page) gets the demo's refusal in the page, not a blank canvas;
  * a copy of the page with index.data cut short, empty, overwritten in its
    middle (with and without crypto.subtle to check its digest) or stalling
    halfway, or without index.wasm, says why in the page within seconds,
    and the reason stays there while the rest goes on loading;
  * a frame past the demo's end (?frame=300) is refused with the reason in
    the page and the console;
  * the example demo's page (WEB_DIR/lantern) draws a lit frame too.

Exits 77 (skipped) naming what is missing when chromium, chromium-driver,
Selenium or the web build is not there.
"""
import argparse
import functools
import http.server
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
WIDTH, HEIGHT = 640, 360
# Mid-shots across the demo: the opening valley, the lake, the swarms, the
# fire and the wind, the last shot.
MOMENTS = ["2.5", "45.6", "99.9", "152.1", "190.0"]
MEAN_LIMIT = 0.02
BLOCK = 16
BLOCK_LIMIT = 0.10


# Hides EXT_color_buffer_float from the page, as a browser without it would.
HIDE_FLOAT_TARGETS = """
(function () {
  var proto = WebGL2RenderingContext.prototype;
  var get = proto.getExtension, list = proto.getSupportedExtensions;
  proto.getExtension = function (name) { return name === 'EXT_color_buffer_float' ? null : get.call(this, name); };
  proto.getSupportedExtensions = function () {
    return list.call(this).filter(function (name) { return name !== 'EXT_color_buffer_float'; });
  };
})();
"""


def skip(reason):
    print("SKIPPED: " + reason)
    sys.exit(SKIP)


def find_browser():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


# Serves index.data's first half, then holds the connection, as a server
# that stopped sending would.
class StallingHandler(QuietHandler):
    released = threading.Event()

    def do_GET(self):
        if not self.path.startswith("/index.data"):
            return super().do_GET()
        with open(os.path.join(self.directory, "index.data"), "rb") as f:
            data = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data[:len(data) // 2])
        self.wfile.flush()
        self.released.wait(120)


def serve(folder, handler=QuietHandler):
    handler = functools.partial(handler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def open_browser(webdriver, browser):
    from selenium.webdriver.chrome.options import Options
    from selenium.webdriver.chrome.service import Service
    options = Options()
    options.binary_location = browser
    for argument in ("--headless=new", "--no-sandbox", "--use-angle=swiftshader", "--enable-unsafe-swiftshader",
                     "--ignore-gpu-blocklist", "--autoplay-policy=no-user-gesture-required",
                     "--window-size=800,600"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    return webdriver.Chrome(service=Service(shutil.which("chromedriver")), options=options)


def wait_for_title(driver, wanted, seconds):
    deadline = time.time() + seconds
    while time.time() < deadline:
        title = driver.title
        if title in wanted or title == "failed":
            return title
        time.sleep(0.05)
    return driver.title


def page_status(driver):
    return driver.execute_script("var s = document.getElementById('status'); return s && s.textContent;")


def console_errors(driver):
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


# What is done to a copy of the page, and what its message must say.
def cut_short(folder):
    path = os.path.join(folder, "index.data")
    os.truncate(path, os.path.getsize(path) // 2)


def empty(folder):
    os.truncate(os.path.join(folder, "index.data"), 0)


def overwrite_middle(folder):
    # The middle of Tarvel's package is in its particles' images.
    path = os.path.join(folder, "index.data")
    with open(path, "r+b") as f:
        f.seek(os.path.getsize(path) // 2)
        f.write(b"\x5a" * 65536)


def remove_wasm(folder):
    os.remove(os.path.join(folder, "index.wasm"))


# A page served over plain http to another machine has no crypto.subtle.
HIDE_SUBTLE = "Object.defineProperty(Crypto.prototype, 'subtle', {get: function () { return undefined; }});"

DAMAGES = [
    # (what, damage, server, script before the page, words of the message, seconds)
    ("index.data cut short", cut_short, QuietHandler, None, "bytes this page was built with: it was cut short",
     10),
    ("index.data empty", empty, QuietHandler, None, "it has 0 of the", 10),
    ("index.data overwritten in its middle", overwrite_middle, QuietHandler, None, "it is damaged", 10),
    ("index.data overwritten in its middle, no crypto.subtle", overwrite_middle, QuietHandler, HIDE_SUBTLE,
     "cannot decode /data/media/particles/", 10),
    ("index.data stalling halfway", None, StallingHandler, None, "nothing came for 15 s while it waited for "
     "index.data", 30),
    ("index.wasm missing", remove_wasm, QuietHandler, None, "(index.wasm): the server answered 404", 10),
]


def damaged_page(driver, web_dir, failures):
    """Each of DAMAGES on a copy of the page: its title is 'failed' in time,
    the page says the reason, and still says it once index.data is in."""
    for what, damage, handler, script, words, seconds in DAMAGES:
        with tempfile.TemporaryDirectory() as folder:
            for name in ("index.html", "index.js", "index.wasm", "index.data"):
                shutil.copy(os.path.join(web_dir, name), folder)
            if damage:
                damage(folder)
            server = serve(folder, handler)
            base = "http://127.0.0.1:%d" % server.server_address[1]
            added = script and driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                                      {"source": script})
            try:
                started = time.time()
                driver.get(base + "/index.html")
                title = wait_for_title(driver, ("failed",), seconds)
                took = time.time() - started
                status = page_status(driver)
                print("%s: %r after %.1f s" % (what, status, took))
                if title != "failed" or words not in status:
                    failures.append("%s: after %.1f s the title is %r and the page says %r, not %r" %
                                    (what, took, title, status, words))
                    continue
                if handler is StallingHandler:
                    continue
                # The rest of the download goes on; the reason must stay.
                driver.execute_async_script(
                    "var done = arguments[arguments.length - 1], until = Date.now() + 10000;"
                    "(function look() {"
                    "  if (performance.getEntriesByName(location.origin + '/index.data').length || Date.now() > until)"
                    "    setTimeout(done, 500);"
                    "  else setTimeout(look, 100);"
                    "})();")
                later = page_status(driver)
                if later != status:
                    failures.append("%s: the page's reason %r was replaced by %r" % (what, status, later))
            finally:
                if added:
                    driver.execute_cdp_cmd("Page.removeScriptToEvaluateOnNewDocument",
                                           {"identifier": added["identifier"]})
                StallingHandler.released.set()
                server.shutdown()
                StallingHandler.released.clear()
        console_errors(driver)  # the damage's own


def refused_settings(driver, base, failures):
    """A setting of the address the page refuses: the reason in the page
    and in the console."""
    for query, words in (("frame=300&size=320x180", "bad value '300' for frame: the demo's last frame is at "),
                         ("frame=2.5&size=320", "bad value '320' for size")):
        driver.get("%s/index.html?%s" % (base, query))
        title = wait_for_title(driver, ("ready",), 120)
        status = page_status(driver)
        logged = console_errors(driver)
        print("?%s: %r" % (query, status))
        if title != "failed" or words not in status:
            failures.append("?%s: the title is %r and the page says %r, not %r" % (query, title, status, words))
        if not any(words in line for line in logged):
            failures.append("?%s: the console does not say %r (it has %r)" % (query, words, logged))


def page_frame(driver, base, seconds, page="index.html"):
    driver.get("%s/%s?frame=%s&size=%dx%d" % (base, page, seconds, WIDTH, HEIGHT))
    title = wait_for_title(driver, ("ready",), 300)
    if title != "ready":
        status = page_status(driver)
        raise AssertionError("frame %s: the page's title is %r, not 'ready' (%s)" % (seconds, title, status))
    encoded = driver.execute_script(
        "var f = Module.jolpFrame, s = '', step = 0x8000;"
        "for (var i = 0; i < f.rgb.length; i += step) s += String.fromCharCode.apply(null, f.rgb.subarray(i, i + step));"
        "return [f.width, f.height, btoa(s)];")
    import base64
    width, height, data = encoded
    if (width, height) != (WIDTH, HEIGHT):
        raise AssertionError("frame %s: the page drew %d x %d" % (seconds, width, height))
    return base64.b64decode(data)


def native_frame(exe, seconds, folder):
    out = os.path.join(folder, "native_" + seconds)
    end = "%.3f" % (float(seconds) + 0.001)
    subprocess.run([exe, "--capture", out, "--fps", "30", "--from", seconds, "--to", end, "--size",
                    "%dx%d" % (WIDTH, HEIGHT)], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    pngs = sorted(name for name in os.listdir(out) if name.endswith(".png"))
    if len(pngs) != 1:
        raise AssertionError("native capture at %s wrote %d pictures" % (seconds, len(pngs)))
    return subprocess.run(["ffmpeg", "-loglevel", "error", "-i", os.path.join(out, pngs[0]), "-f", "rawvideo",
                           "-pix_fmt", "rgb24", "-"], check=True, stdout=subprocess.PIPE).stdout


def compare(web, native):
    """Mean absolute difference over the picture and the worst 16 x 16
    block's, both as fractions of full scale."""
    total = 0
    worst = 0.0
    blocks_x = WIDTH // BLOCK
    block_sums = [0] * (blocks_x * (HEIGHT // BLOCK))
    for y in range(HEIGHT):
        row = y * WIDTH * 3
        block_row = (y // BLOCK) * blocks_x
        for x in range(WIDTH):
            at = row + x * 3
            d = abs(web[at] - native[at]) + abs(web[at + 1] - native[at + 1]) + abs(web[at + 2] - native[at + 2])
            total += d
            if x // BLOCK < blocks_x and y // BLOCK < HEIGHT // BLOCK:
                block_sums[block_row + x // BLOCK] += d
    mean = total / (WIDTH * HEIGHT * 3 * 255.0)
    worst = max(block_sums) / (BLOCK * BLOCK * 3 * 255.0)
    return mean, worst


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("web_dir")
    parser.add_argument("native_exe")
    parser.add_argument("--title", default="Tarvel")
    args = parser.parse_args()

    browser = find_browser()
    if not browser:
        skip("chromium is not installed (scripts/setup.sh installs it with the test packages)")
    if not shutil.which("chromedriver"):
        skip("chromium-driver is not installed")
    try:
        from selenium import webdriver
        from selenium.webdriver.common.action_chains import ActionChains
        from selenium.webdriver.common.by import By
        from selenium.webdriver.common.keys import Keys
    except ImportError:
        skip("python3-selenium is not installed")
    if not os.path.isfile(os.path.join(args.web_dir, "index.html")):
        skip("%s/index.html is missing: the web build (scripts/web.sh) has not run" % args.web_dir)
    if not shutil.which("ffmpeg"):
        skip("ffmpeg is not installed")

    server = serve(args.web_dir)
    base = "http://127.0.0.1:%d" % server.server_address[1]
    driver = open_browser(webdriver, browser)
    failures = []
    try:
        with tempfile.TemporaryDirectory() as folder:
            for seconds in MOMENTS:
                started = time.time()
                web = page_frame(driver, base, seconds)
                native = native_frame(args.native_exe, seconds, folder)
                mean, worst = compare(web, native)
                print("frame %7s s: mean difference %.4f, worst 16x16 block %.4f (page ready in %.1f s)" %
                      (seconds, mean, worst, time.time() - started))
                if mean >= MEAN_LIMIT or worst > BLOCK_LIMIT:
                    failures.append("frame %s differs from the native capture: mean %.4f (limit %.2f), worst block "
                                    "%.4f (limit %.2f)" % (seconds, mean, MEAN_LIMIT, worst, BLOCK_LIMIT))
                    with open(os.path.join(tempfile.gettempdir(), "browser_frame_%s.rgb" % seconds), "wb") as f:
                        f.write(web)
                failures += ["frame %s: console error: %s" % (seconds, e) for e in console_errors(driver)]

            # The demo itself: it waits for a gesture, plays, and Escape ends it.
            driver.get("%s/index.html?size=%dx%d" % (base, WIDTH, HEIGHT))
            if wait_for_title(driver, (args.title,), 120) != args.title:
                failures.append("the page did not become ready to play (title %r)" % driver.title)
            else:
                ActionChains(driver).click(driver.find_element(By.ID, "canvas")).perform()
                time.sleep(3)
                driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ESCAPE)
                ended = args.title + " - ended"
                if wait_for_title(driver, (ended,), 30) != ended:
                    failures.append("Escape did not end the demo (title %r)" % driver.title)
                status = driver.execute_script("return document.getElementById('status').textContent")
                if "Stopped" not in status:
                    failures.append("after Escape the page says %r, not that the demo stopped" % status)
            failures += ["playing: console error: %s" % e for e in console_errors(driver)]

            # The example demo, built for the browser the same way.
            if os.path.isfile(os.path.join(args.web_dir, "lantern", "index.html")):
                picture = page_frame(driver, base, "3", "lantern/index.html")
                mean = sum(picture) / (len(picture) * 255.0)
                print("example frame at 3 s: mean brightness %.3f" % mean)
                if mean < 0.05:
                    failures.append("the example demo's frame at 3 s is black (mean %.3f)" % mean)
                failures += ["example: console error: %s" % e for e in console_errors(driver)]
            else:
                failures.append("the example demo's page (lantern/index.html) was not built")

            refused_settings(driver, base, failures)
            damaged_page(driver, args.web_dir, failures)

            # A WebGL 2 without float render targets: the refusal, in the page.
            driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": HIDE_FLOAT_TARGETS})
            driver.get("%s/index.html?size=%dx%d" % (base, WIDTH, HEIGHT))
            wait_for_title(driver, ("failed",), 120)
            status = driver.execute_script("return document.getElementById('status').textContent")
            if driver.title != "failed" or "Shader model no supported." not in status:
                failures.append("without float targets the page's title is %r and it says %r, not the shader model "
                                "refusal" % (driver.title, status))
    finally:
        driver.quit()
        server.shutdown()
    for failure in failures:
        print("FAILED: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
