"""Debian's Chromium, headless, driven by Selenium: for the page's tests and
its screenshots. The flags keep it from reaching out to the network."""
from selenium import webdriver
from selenium.webdriver.chrome.service import Service


def make_browser(user_data_dir=None, language="en-US", width=1280, height=1000):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    arguments = ["--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--hide-scrollbars",
                 f"--lang={language}", f"--window-size={width},{height}"]
    if user_data_dir is not None:
        arguments.append(f"--user-data-dir={user_data_dir}")
    for argument in arguments:
        options.add_argument(argument)
    options.add_experimental_option("prefs", {"intl.accept_languages": language})
    driver = webdriver.Chrome(options=options, service=Service("/usr/bin/chromedriver"))
    driver.set_script_timeout(120)
    return driver


def wait_until(driver, condition):
    """Waits until the JavaScript expression `condition` is true on the page."""
    driver.execute_async_script(f"""
        const done = arguments[arguments.length - 1];
        const check = () => ({condition}) ? done() : setTimeout(check, 20);
        check();""")
