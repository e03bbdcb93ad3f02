"""The web page in Debian's Chromium, driven by Selenium: a local static
server for build/web, one browser for the whole run, and the command line
the page's figures are compared with."""
import functools
import http.server
import os
import pathlib
import subprocess
import sys
import threading

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "web"))
from headless_chromium import make_browser, wait_until  # noqa: E402

PAGE = pathlib.Path(os.environ.get("SYNTHFACTORS_WEB_PAGE", "build/web/index.html")).resolve()
CLI = os.environ.get("SYNTHFACTORS_CLI", "synthfactors-cli")


def pytest_sessionstart(session):
    if not PAGE.is_file():
        message = f"{PAGE} is missing: build the page with scripts/web"
        if os.environ.get("SYNTHFACTORS_REQUIRE_WEB") == "1":
            pytest.exit(message, returncode=1)
        pytest.exit(message + " (skipped)", returncode=77)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


@pytest.fixture(scope="session")
def server_url():
    handler = functools.partial(QuietHandler, directory=str(PAGE.parent))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    thread = threading.Thread(target=server.serve_forever, daemon=True)
    thread.start()
    yield f"http://127.0.0.1:{server.server_address[1]}/{PAGE.name}"
    server.shutdown()


@pytest.fixture(scope="session")
def browser(tmp_path_factory):
    driver = make_browser(tmp_path_factory.mktemp("chromium"))
    yield driver
    driver.quit()


def wait_ready(driver):
    wait_until(driver, 'document.body.dataset.ready === "true"')


@pytest.fixture
def page(browser, server_url):
    # Each test from the start texts: the page remembers the last inputs.
    browser.get(server_url)
    wait_ready(browser)
    browser.execute_script("localStorage.clear();")
    browser.get(server_url)
    wait_ready(browser)
    return browser


def cli(*args, stdin=None):
    """The command line's standard output, error and exit status."""
    run = subprocess.run([CLI, *args], input=stdin, capture_output=True, text=True,
                         env={**os.environ, "LC_ALL": "C"})
    return run.stdout, run.stderr, run.returncode
