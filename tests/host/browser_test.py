#!/usr/bin/python3
"""The browser editor (dtchost serve) driven by headless Chromium through Selenium, as a designer uses it.

    browser_test.py SCENARIO BUILD_DIR SHOTS_DIR
      designer      a session on the demo installation; the saved bag equals the equivalent script's,
                    the page-text panel equals dtchost render of it
      translations  field-name and field-value translations on an SQLite I18N database; the rows equal
                    those the equivalent script writes
      modality      a message box refuses every other action; a Yes/No question answered No changes
                    nothing; the handlers go on with the answers given
      security      403 without the token, with a wrong one, a foreign Origin or Host; HTML in a field
                    name is shown as text
Screenshots of the tabs and dialogs go to SHOTS_DIR. Exit status 0 when every check held.
"""
import http.client
import json
import os
import pathlib
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys

ROOT = pathlib.Path(__file__).resolve().parents[2]
FAILURES = []


def check(what, condition, detail=""):
    print(("ok   " if condition else "FAIL ") + what + ("" if condition else "\n     " + str(detail)[:2000]))
    if not condition:
        FAILURES.append(what)


class Machine:
    """A registry with the control and the data-provider components, drive C: on demo/."""

    def __init__(self, build, i18n=False):
        self.build = pathlib.Path(build)
        self.dir = pathlib.Path(tempfile.mkdtemp(prefix="dtchost-browser-"))
        reg = ("Windows Registry Editor Version 5.00\n\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane]\n\"InstallDir\"=\"c:\\\\install\"\n\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane\\DataProviders]\n"
               "\"CatalogFile\"=\"c:\\\\install\\\\Vistelle\\\\dataproviders.json\"\n")
        if i18n:
            reg += ("\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane\\Datasources]\n"
                    "\"8\"=\"DSN=Vistelle;UID=WWWappsVistelle;PWD=\"\n")
        (self.dir / "registry.reg").write_text(reg)
        self.env = dict(os.environ, TESSERY_REGISTRY=str(self.dir / "registry.reg"), TESSERY_DRIVE_C=str(ROOT / "demo"))
        modules = ["dtc/libVistelleDTC.so", "components/libCorvaneDataProviders.so"]
        if i18n:
            modules.append("components/libCorvaneDatasourceConnection.so")
        for module in modules:
            self.run([self.build / "tools/regsvr", self.build / module])

    def run(self, args, **kw):
        return subprocess.run([str(a) for a in args], env=self.env, capture_output=True, check=kw.pop("check", True), **kw)

    def dtchost(self, *args, **kw):
        return self.run([self.build / "host/dtchost", *args], **kw)

    def i18n_database(self, name):
        """An I18N database on SQLite with the demo's labels, the data source "Vistelle" naming it."""
        db = self.dir / name
        con = sqlite3.connect(db)
        con.executescript((ROOT / "demo/i18n/schema.sql").read_text() + (ROOT / "demo/i18n/labels.sql").read_text())
        con.close()
        driver = next(p for base in ("/usr/lib", "/usr/local/lib") for p in pathlib.Path(base).rglob("libsqlite3odbc.so"))
        (self.dir / "odbcinst.ini").write_text("[SQLite3]\nDriver=%s\n" % driver)
        (self.dir / "odbc.ini").write_text("[Vistelle]\nDriver=SQLite3\nDatabase=%s\nTimeout=5000\n" % db)
        self.env.update(ODBCSYSINI=str(self.dir), ODBCINI=str(self.dir / "odbc.ini"))
        return db


class Editor:
    """dtchost serve on a bag, and Chromium on its page."""

    def __init__(self, machine, bag, *options):
        self.machine = machine
        self.bag = bag
        self.errors = open(machine.dir / "serve.err", "w")
        self.process = subprocess.Popen([str(machine.build / "host/dtchost"), "serve", str(bag), *options],
                                        env=machine.env, stdout=subprocess.PIPE, stderr=self.errors, text=True)
        line = self.process.stdout.readline()
        prefix = "dtchost: editing %s at " % bag
        if not line.startswith(prefix):
            raise RuntimeError("dtchost serve printed %r" % line)
        self.url = line[len(prefix):].strip()
        self.port = int(self.url.split(":")[2].split("/")[0])
        self.token = self.url.split("token=")[1]
        chrome = webdriver.ChromeOptions()
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                    "--disable-background-networking", "--disable-component-update", "--disable-sync",
                    "--disable-dev-shm-usage", "--window-size=1280,900",
                    "--user-data-dir=" + tempfile.mkdtemp(prefix="chromium-", dir=machine.dir)):
            chrome.add_argument(arg)
        chrome.binary_location = "/usr/bin/chromium"
        self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=chrome)
        self.driver.get(self.url)
        self.settle()

    def close(self):
        try:
            self.driver.quit()
        finally:
            if self.process.poll() is None:
                self.process.terminate()
            self.process.wait(10)
            self.errors.close()

    # ---- the page ----
    def settle(self):
        deadline = time.time() + 20
        while time.time() < deadline:
            if self.driver.execute_script(
                    "return document.documentElement.getAttribute('data-busy') === 'no' && !!document.querySelector('[data-control]')"):
                time.sleep(0.02)
                if self.driver.execute_script("return document.documentElement.getAttribute('data-busy') === 'no'"):
                    return
            time.sleep(0.02)
        raise RuntimeError("the page did not settle")

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def all(self, css):
        return self.driver.find_elements(By.CSS_SELECTOR, css)

    def on(self, dialog):
        """CSS prefix of a dialog window, or of the editor."""
        return '[data-dialog="%s"] ' % dialog if dialog else "#editor "

    def click(self, css):
        self.find(css).click()
        self.settle()

    def control(self, name, dialog=None):
        return self.find(self.on(dialog) + '[data-control="%s"]' % name)

    def press(self, name, dialog=None):
        self.click(self.on(dialog) + '[data-control="%s"]' % name)

    def tab(self, index):
        self.click('#editor [data-tab="%d"]' % index)

    def item(self, name, text, dialog=None):
        """Clicks the item of a list shown as `text`."""
        for node in self.all(self.on(dialog) + '[data-control="%s"] [data-index]' % name):
            if node.get_attribute("textContent") == text:
                node.click()
                self.settle()
                return
        raise RuntimeError("no item %r in %s" % (text, name))

    def choose(self, name, text, dialog=None):
        """Opens a combo's item list (unless the control opened it) and clicks the item `text`."""
        prefix = self.on(dialog) + '[data-control="%s"]' % name
        if not self.all(prefix + " [data-index]"):
            self.click(prefix + " .drop")
        self.item(name, text, dialog)

    def cell(self, name, row, col, dialog=None):
        self.click(self.on(dialog) + '[data-control="%s"] [data-row="%d"][data-col="%d"]' % (name, row, col))

    def type(self, element, text):
        for ch in text:
            element = self.driver.switch_to.active_element
            element.send_keys(ch)
            self.settle()

    def keys(self, text):
        self.type(None, text)

    def answer(self, answer):
        self.click('[data-dialog="message"] [data-answer="%s"]' % answer)

    def shot(self, directory, name):
        directory.mkdir(parents=True, exist_ok=True)
        self.driver.save_screenshot(str(directory / (name + ".png")))

    def state(self):
        return self.driver.execute_script("return document.documentElement.getAttribute('data-state')")

    def page_text(self):
        return self.driver.execute_script("return document.getElementById('page-text').textContent")

    # ---- requests of its own (the page's rules checked from outside) ----
    def http(self, method, path, body=None, headers=None):
        con = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        all_headers = {"Host": "127.0.0.1:%d" % self.port}
        all_headers.update(headers or {})
        if body is not None:
            all_headers["Content-Type"] = "application/json"
        con.request(method, path, body=None if body is None else json.dumps(body), headers=all_headers)
        response = con.getresponse()
        data = response.read()
        con.close()
        return response.status, data


# ---------------------------------------------------------------------------------------------------

def designer(machine, shots):
    bag = machine.dir / "new.json"
    page = Editor(machine, bag, "--new")
    try:
        check("a new page starts saved", page.state() == "saved")
        page.choose("DataProvidersCombo", "KRMOrders")
        check("choosing a provider leaves unsaved changes", page.state() == "modified")
        # An include through the file dialog: C:\INSTALL\ (the install directory), folder include.
        page.press("BrowseForIncludeASPCommand")
        check("the file dialog opens at the install directory",
              page.find('[data-dialog="file"] .where').text == "C:\\INSTALL\\")
        page.shot(shots, "file-dialog")
        check("a modal dialog refuses the editor below it",
              page.http("POST", "/action?token=" + page.token, {"action": "click", "control": "SaveCommand"})[0] == 400)
        page.driver.execute_script("arguments[0].dispatchEvent(new MouseEvent('dblclick', {bubbles: true}))",
                                   page.find('[data-dialog="file"] [data-folder="include"]'))
        page.settle()
        page.click('[data-dialog="file"] [data-file="customer.asp"]')
        page.click('[data-dialog="file"] [data-answer="open"]')
        check("the chosen file is put in site-relative form",
              page.control("IncludeASPText").get_attribute("value") == "include/customer.asp")
        page.press("IncludeASPAddCommand")
        page.shot(shots, "general-tab")
        # Return fields on the DRAV tab.
        page.tab(2)
        page.item("DRAVFieldsList", " 1 - ORDERID")
        page.press("DRAVAddField")
        page.item("DRAVFieldsList", " 3 - ORDERDATE")
        page.press("DRAVAddField")
        page.item("DRAVSelectedFieldsList", " 3 - ORDERDATE")
        page.press("DRAVMoveUpCommand")
        # Criterion 1: ORDERID == OPEN through the in-place key, operator and value editors.
        page.cell("DRAVCriteriaGrid", 1, 1)
        page.choose("DRAVKeyFieldsCombo", "ORDERID")
        page.cell("DRAVCriteriaGrid", 1, 2)
        page.choose("DRAVOperatorsCombo", "==")
        page.cell("DRAVCriteriaGrid", 1, 3)
        page.keys("O")
        check("typing on a value cell first warns about the Del key",
              "Don't push the 'Del' button" in page.find('[data-dialog="message"] .prompt').text)
        page.shot(shots, "message-box")
        page.answer("ok")
        check("the value editor opens with the key typed", page.control("DRAVKeyFieldValueText").get_attribute("value") == "O")
        page.keys("PEN")
        page.keys(Keys.ENTER)
        # Criterion 2: CUSTOMERID <= GetCutoff(), a local script stored through "...".
        page.press("DRAVAddCriteriumCommand")
        page.cell("DRAVCriteriaGrid", 2, 1)
        page.choose("DRAVKeyFieldsCombo", "CUSTOMERID")
        page.cell("DRAVCriteriaGrid", 2, 2)
        page.choose("DRAVOperatorsCombo", "<=")
        page.cell("DRAVCriteriaGrid", 2, 4)
        dialog = "SpecifyCriteriumDialog"
        check("the criterion dialog opens with its caption",
              page.find('[data-dialog="%s"] .title' % dialog).text == "Specify script")
        page.control("NameText", dialog).click()
        page.settle()
        page.keys("GetCutoff")
        page.press("LocalScriptOption", dialog)
        page.control("ScriptBodyText", dialog).click()
        page.settle()
        page.keys("GetCutoff = 1000")
        page.shot(shots, "criterion-dialog")
        page.press("OKButton", dialog)
        check("the criterion dialog has closed", not page.all('[data-dialog="%s"]' % dialog))
        page.shot(shots, "drav-tab")
        for index, name in ((1, "eai-tab"), (3, "i18n-tab"), (4, "eai-link-tab")):
            page.tab(index)
            page.shot(shots, name)
        # The linked provider and one link on the DRAV Link tab.
        page.tab(5)
        page.choose("DRAVLinkedDataProvidersCombo", "KRMCustomers")
        page.cell("DRAVLinksGrid", 1, 1)
        page.choose("DRAVFromLinkFieldsCombo", " 1 - ORDERID")
        page.cell("DRAVLinksGrid", 1, 2)
        page.choose("DRAVToLinkFieldsCombo", "CUSTOMERID")
        page.shot(shots, "drav-link-tab")
        page.click('[data-command="save"]')
        check("after Save the page shows no unsaved changes", page.state() == "saved")
        panel = page.page_text()
    finally:
        page.close()

    script = machine.dir / "designer.script"
    script.write_text("\n".join([
        "select DataProvidersCombo KRMOrders",
        'answer file "C:\\INSTALL\\include\\customer.asp"',
        "click BrowseForIncludeASPCommand",
        "click IncludeASPAddCommand",
        "tab DRAV",
        'select DRAVFieldsList " 1 - ORDERID"', "click DRAVAddField",
        'select DRAVFieldsList " 3 - ORDERDATE"', "click DRAVAddField",
        'select DRAVSelectedFieldsList " 3 - ORDERDATE"', "click DRAVMoveUpCommand",
        "cell DRAVCriteriaGrid 1 1", "click DRAVCriteriaGrid", "select DRAVKeyFieldsCombo ORDERID",
        "cell DRAVCriteriaGrid 1 2", "click DRAVCriteriaGrid", "select DRAVOperatorsCombo ==",
        "cell DRAVCriteriaGrid 1 3", "click DRAVCriteriaGrid", "keypress DRAVCriteriaGrid 79",
        "type DRAVKeyFieldValueText PEN", "keydown DRAVKeyFieldValueText 13",
        "click DRAVAddCriteriumCommand",
        "cell DRAVCriteriaGrid 2 1", "click DRAVCriteriaGrid", "select DRAVKeyFieldsCombo CUSTOMERID",
        "cell DRAVCriteriaGrid 2 2", "click DRAVCriteriaGrid", "select DRAVOperatorsCombo <=",
        "cell DRAVCriteriaGrid 2 4", "click DRAVCriteriaGrid",
        "  focus NameText", "  type NameText GetCutoff", "  choose LocalScriptOption",
        "  focus ScriptBodyText", '  type ScriptBodyText "GetCutoff = 1000"', "  click OKButton",
        "tab EAI", "tab I18N", 'tab "EAI Link"', 'tab "DRAV Link"',
        "select DRAVLinkedDataProvidersCombo KRMCustomers",
        "cell DRAVLinksGrid 1 1", "click DRAVLinksGrid", 'select DRAVFromLinkFieldsCombo " 1 - ORDERID"',
        "cell DRAVLinksGrid 1 2", "click DRAVLinksGrid", "select DRAVToLinkFieldsCombo CUSTOMERID",
    ]) + "\n")
    expected = machine.dir / "expected.json"
    result = machine.dtchost("new", expected, "--script", script, check=False)
    check("the equivalent script runs", result.returncode == 0, result.stderr.decode())
    check("the saved bag equals the bag of the equivalent script", bag.read_bytes() == expected.read_bytes(),
          "browser:\n%s\nscript:\n%s" % (bag.read_text(), expected.read_text() if expected.exists() else "-"))
    render = machine.dtchost("render", bag, check=False)
    check("the page-text panel equals dtchost render of the saved bag", panel.encode() == render.stdout,
          panel[:300])


def translations(machine, shots):
    db = machine.i18n_database("browser.db")
    bag = machine.dir / "page.json"
    shutil.copy(ROOT / "demo/pages/orders.json", bag)
    page = Editor(machine, bag)
    try:
        page.tab(3)
        page.item("DRAVI18NFieldnamesList", " 3 - ORDERDATE")
        page.shot(shots, "question-dialog")
        page.press("OKButton", "AddI18NFieldQuestionDialog")
        page.press("AddLabelCommand", "SpecifyI18NFieldnameDialog")
        check("the new-label dialog opens over the field-name dialog",
              len(page.all("#layers .window")) == 2 and bool(page.all('[data-dialog="AddLabelDialog"]')))
        page.control("LabelNameText", "AddLabelDialog").click()
        page.settle()
        page.keys("KRMVA2010")
        page.control("LabelValueText", "AddLabelDialog").click()
        page.settle()
        page.keys("Date ordered")
        page.shot(shots, "add-label-dialog")
        page.press("OKButton", "AddLabelDialog")
        page.answer("ok")
        page.choose("LabelsCombo", "KRMVA2010", "SpecifyI18NFieldnameDialog")
        page.shot(shots, "fieldname-dialog")
        page.press("OKButton", "SpecifyI18NFieldnameDialog")
        dialog = "SpecifyI18NFieldValueDialog"
        page.item("EAII18NFieldValuesList", "Order.Status")
        for row, value, label in ((2, "2", "KRMVA2001"), (3, "3", "KRMVA2002")):
            page.press("AddCommand", dialog)
            page.cell("I18NFieldValuesGrid", row, 1, dialog)
            page.keys(value)
            page.cell("I18NFieldValuesGrid", row, 2, dialog)
            page.choose("LabelsCombo", label, dialog)
        page.shot(shots, "fieldvalue-dialog")
        page.press("OKButton", dialog)
        page.click('[data-command="save"]')
    finally:
        page.close()

    def rows(database):
        con = sqlite3.connect(database)
        result = [con.execute("SELECT * FROM I18NFIELDNAMES ORDER BY FIELDNAME").fetchall(),
                  con.execute("SELECT * FROM I18NFIELDVALUES ORDER BY FIELDVALUE").fetchall(),
                  con.execute("SELECT LABEL, TEXT, LOCALEID, STATUS FROM I18NTEXT ORDER BY LABEL").fetchall()]
        con.close()
        return result

    browser_rows = rows(db)
    expected_db = machine.i18n_database("script.db")
    script = machine.dir / "translate.script"
    script.write_text("\n".join([
        "tab I18N", 'select DRAVI18NFieldnamesList " 3 - ORDERDATE"', "click OKButton", "click AddLabelCommand",
        "focus LabelNameText", "type LabelNameText KRMVA2010", "focus LabelValueText", 'type LabelValueText "Date ordered"',
        "click OKButton", "select LabelsCombo KRMVA2010", "click OKButton",
        "select EAII18NFieldValuesList Order.Status",
        "click AddCommand", "cell I18NFieldValuesGrid 2 1", "click I18NFieldValuesGrid", "type EditText 2",
        "cell I18NFieldValuesGrid 2 2", "click I18NFieldValuesGrid", "select LabelsCombo KRMVA2001",
        "click AddCommand", "cell I18NFieldValuesGrid 3 1", "click I18NFieldValuesGrid", "type EditText 3",
        "cell I18NFieldValuesGrid 3 2", "click I18NFieldValuesGrid", "select LabelsCombo KRMVA2002",
        "click OKButton",
    ]) + "\n")
    result = machine.dtchost("edit", ROOT / "demo/pages/orders.json", "--script", script, "--save",
                             machine.dir / "script.json", check=False)
    check("the equivalent script runs", result.returncode == 0, result.stderr.decode())
    check("the rows written equal those of the equivalent script", browser_rows == rows(expected_db),
          "%s\n%s" % (browser_rows, rows(expected_db)))
    check("the field-value translations are there", [r[3] for r in browser_rows[1]] == ["1", "2", "3"], browser_rows[1])


def modality(machine, shots):
    db = machine.i18n_database("modality.db")
    bag = machine.dir / "page.json"
    shutil.copy(ROOT / "demo/pages/orders.json", bag)
    page = Editor(machine, bag)
    try:
        token = "?token=" + page.token
        page.tab(2)
        page.cell("DRAVCriteriaGrid", 1, 3)
        page.keys("Z")
        check("the Del warning is a message box", bool(page.all('[data-dialog="message"]')))
        status, body = page.http("POST", "/action" + token, {"action": "tab", "tab": 0})
        check("while it is open, a tab click is refused with the reason",
              status == 400 and b"a message box is open" in body, body)
        status, _ = page.http("POST", "/action" + token, {"action": "answer", "answer": "yes"})
        check("an answer the box does not offer is refused", status == 400)
        status, _ = page.http("POST", "/save" + token, {})
        check("Save is refused while a box is open", status == 400)
        # The dimmed editor takes no pointer; a click that reaches it all the same is refused.
        page.driver.execute_script("arguments[0].click()", page.find('#editor [data-tab="0"]'))
        page.settle()
        check("a click on the editor below changes nothing",
              page.find('#editor [data-tab="2"]').get_attribute("class") == "shown")
        page.answer("ok")
        check("the handler goes on with the answer: the value editor opens with the key typed",
              page.control("DRAVKeyFieldValueText").get_attribute("value") == "Z")
        page.keys(Keys.ESCAPE)
        # A Yes/No question answered No writes nothing and opens nothing.
        page.tab(3)
        page.item("DRAVI18NFieldnamesList", " 3 - ORDERDATE")
        question = "AddI18NFieldQuestionDialog"
        check("the question names the field", "'ORDERDATE'" in page.find('[data-dialog="%s"]' % question).text)
        status, body = page.http("POST", "/action" + token, {"action": "click", "control": "SaveCommand"})
        check("an action on the editor below the question is refused", status == 400 and b"is open" in body, body)
        page.press("CancelButton", question)
        check("No opens no field-name dialog", not page.all("#layers .window"))
        con = sqlite3.connect(db)
        count = con.execute("SELECT COUNT(*) FROM I18NFIELDNAMES WHERE FIELDNAME = 'ORDERDATE'").fetchone()[0]
        con.close()
        check("No writes no translation", count == 0)
        # SIGTERM with the page connected and a handler parked in a message box.
        page.tab(1)
        page.cell("EAICriteriaGrid", 1, 3)
        page.keys("Y")
        check("the EAI grid warns once of its own", bool(page.all('[data-dialog="message"]')))
        start = time.time()
        page.process.terminate()
        try:
            status = page.process.wait(5)
        except subprocess.TimeoutExpired:
            status = None
        check("SIGTERM with the page connected ends dtchost within 5 s, status 0",
              status == 0 and time.time() - start < 5, (status, time.time() - start))
    finally:
        page.close()


def security(machine, shots):
    bag = machine.dir / "html.json"
    hostile = "<img src=x onerror=alert(1)>"
    bag.write_text(json.dumps({"DataProvider": "KRMOrders", "NrOfExtraIncludes": 1, "ExtraIncludes0": hostile,
                               "XSLFilename": hostile}))
    page = Editor(machine, bag)
    try:
        good = "127.0.0.1:%d" % page.port
        cases = [
            ("no token", "/state", {}),
            ("a wrong token", "/state?token=" + "0" * 32, {}),
            ("a token one digit short", "/state?token=" + page.token[:-1], {}),
            ("a foreign Origin", "/state?token=" + page.token, {"Origin": "http://evil.example"}),
            ("a foreign Host", "/state?token=" + page.token, {"Host": "evil.example:%d" % page.port}),
            ("the page itself without the token", "/", {}),
            ("the script without the token", "/editor.js", {}),
        ]
        for what, path, headers in cases:
            status, _ = page.http("GET", path, headers=headers)
            check("403 for %s" % what, status == 403, status)
        status, _ = page.http("GET", "/state?token=" + page.token, headers={"Host": "localhost:%d" % page.port})
        check("localhost:PORT is a host of its own", status == 200)
        status, _ = page.http("GET", "/state?token=" + page.token, headers={"Origin": "http://" + good})
        check("the page's own Origin is accepted", status == 200)
        status, body = page.http("POST", "/action?token=" + page.token, {"action": "frobnicate"})
        check("a malformed action is refused with the reason", status == 400 and b"unknown action" in body, body)
        items = page.all('#editor [data-control="IncludeASPList"] [data-index]')
        check("HTML in a list item shows as its text", [n.get_attribute("textContent") for n in items] == [hostile])
        check("HTML in a text field shows as its text",
              page.control("XSLFilenameText").get_attribute("value") == hostile)
        check("no element was made from it", not page.all("img"))
    finally:
        page.close()


def main():
    scenario, build, shots = sys.argv[1], sys.argv[2], pathlib.Path(sys.argv[3])
    machine = Machine(build, i18n=scenario in ("translations", "modality"))
    try:
        {"designer": designer, "translations": translations, "modality": modality, "security": security}[scenario](machine, shots)
    finally:
        shutil.rmtree(machine.dir, ignore_errors=True)
    print("%d passed, %d failed" % (0 if FAILURES else 1, 1 if FAILURES else 0))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
