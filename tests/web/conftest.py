"""The web page in Debian's Chromium, driven by Selenium: a local static
server for build/web, one browser for the whole run, and the command line
the page's figures are compared with."""
import functools
import http.server
import os
import pathlib
import subprocess
import threading

import pytest
from selenium import webdriver
from selenium.webdriver.chrome.service import Service

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


def make_browser(user_data_dir, language="en-US"):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", f"--lang={language}",
                     "--window-size=1280,1000", f"--user-data-dir={user_data_dir}"):
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    driver = webdriver.Chrome(options=options, service=Service("/usr/bin/chromedriver"))
    driver.set_script_timeout(120)
    return driver


@pytest.fixture(scope="session")
def browser(tmp_path_factory):
    driver = make_browser(tmp_path_factory.mktemp("chromium"))
    yield driver
    driver.quit()


def wait_ready(driver):
    driver.set_script_timeout(120)
    driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const check = () => document.body.dataset.ready === "true" ? done(true)
                            : setTimeout(check, 20);
        check();""")


@pytest.fixture
def page(browser, server_url):
    browser.get(server_url)
    wait_ready(browser)
    return browser


def cli(*args, stdin=None):
    """The command line's standard output, error and exit status."""
    run = subprocess.run([CLI, *args], input=stdin, capture_output=True, text=True,
                         env={**os.environ, "LC_ALL": "C"})
    return run.stdout, run.stderr, run.returncode
