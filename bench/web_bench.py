#!/usr/bin/python3
"""The browser build's sizes, load time and frame rate in headless chromium
(software WebGL 2 without a GPU). A benchmark, not a test: it prints
numbers and fails only when the page does not work.

  bench/web_bench.py [WEB_DIR] [--seconds N]

WEB_DIR defaults to build/web (scripts/web.sh builds it). Sizes are as
served and as gzip -9 would send them; the load time is from navigation to
the first frame drawn (index.html?frame=0, three runs); the frame rate is
the page's own count over N seconds of play (20 by default) at 640 x 360
and 1280 x 720.
"""
import argparse
import gzip
import os
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
import browser_test  # noqa: E402  (its server and browser set-up)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("web_dir", nargs="?", default="build/web")
    parser.add_argument("--seconds", type=float, default=20.0)
    args = parser.parse_args()
    from selenium import webdriver
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    total = total_gzip = 0
    for name in ("index.html", "index.js", "index.wasm", "index.data"):
        with open(os.path.join(args.web_dir, name), "rb") as f:
            data = f.read()
        packed = len(gzip.compress(data, 9))
        total += len(data)
        total_gzip += packed
        print("%-11s %9.2f MB  %9.2f MB gzip" % (name, len(data) / 1e6, packed / 1e6))
    print("%-11s %9.2f MB  %9.2f MB gzip" % ("together", total / 1e6, total_gzip / 1e6))

    server = browser_test.serve(args.web_dir)
    base = "http://127.0.0.1:%d" % server.server_address[1]
    driver = browser_test.open_browser(webdriver, browser_test.find_browser())
    try:
        for run in range(3):
            started = time.time()
            driver.get(base + "/index.html?frame=0&size=640x360")
            if browser_test.wait_for_title(driver, ("ready",), 120) != "ready":
                raise SystemExit("the first frame was not drawn")
            print("load to the first frame (run %d): %.2f s" % (run + 1, time.time() - started))
        for size in ("640x360", "1280x720"):
            driver.get_log("browser")
            driver.get(base + "/index.html?size=" + size)
            browser_test.wait_for_title(driver, ("Tarvel",), 120)
            ActionChains(driver).click(driver.find_element(By.ID, "canvas")).perform()
            time.sleep(args.seconds)
            driver.find_element(By.TAG_NAME, "body").send_keys(Keys.ESCAPE)
            browser_test.wait_for_title(driver, ("Tarvel - ended",), 120)
            played = [e["message"] for e in driver.get_log("browser") if "played" in e["message"]]
            match = re.search(r"played \d+ frames in [\d.]+ s \(([\d.]+) frames/s\)", played[-1] if played else "")
            print("playing at %s: %s frames/s" % (size, match.group(1) if match else "unknown"))
    finally:
        driver.quit()
        server.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
