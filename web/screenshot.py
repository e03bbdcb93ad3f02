#!/usr/bin/env python3
"""Draws the page as a person sees it, into a PNG: the planner with a band
planned and one channel's details, the calculator beside it in a second
picture (FILE with -calculator before its extension).

    screenshot.py PAGE.html FILE.png
"""
import pathlib
import sys
import time

from selenium.webdriver.common.by import By

from headless_chromium import make_browser, wait_until


def main(page, out):
    out = pathlib.Path(out)
    driver = make_browser()
    try:
        driver.get(pathlib.Path(page).resolve().as_uri())
        wait_until(driver, 'document.body.dataset.ready === "true"')
        for box, text in (("RFOut", "10368.025"), ("RFMult", "4")):
            element = driver.find_element(By.ID, "box-" + box)
            element.clear()
            element.send_keys(text)
        driver.find_element(By.ID, "box-GO").click()
        wait_until(driver, 'document.getElementById("box-DivDisp").value !== ""')
        driver.save_screenshot(str(out.with_name(out.stem + "-calculator" + out.suffix)))

        driver.find_element(By.ID, "tab-planner").click()
        for element_id, value in (("band-from", "10368"), ("band-to", "10370"), ("band-step", "0.025"),
                                  ("input-mult", "4"), ("input-ref", "10"), ("input-min_fc", "5"),
                                  ("input-max_fc", "100"), ("input-chip", "adf4351"),
                                  ("input-fom", "-220"), ("input-flicker", "-260")):
            driver.execute_script("document.getElementById(arguments[0]).value = arguments[1];",
                                  element_id, value)
        driver.find_element(By.ID, "plan").click()
        wait_until(driver, '/^Planned/.test(document.getElementById("plan-status").textContent)')
        driver.find_elements(By.CSS_SELECTOR, "#channels tbody tr")[12].click()
        wait_until(driver, 'document.querySelector("#details pre") !== null')
        driver.execute_script("window.scrollTo(0, 0); document.querySelector('.table-scroll').scrollLeft = 0;")
        time.sleep(0.3)
        driver.save_screenshot(str(out))
    finally:
        driver.quit()


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(*sys.argv[1:])
