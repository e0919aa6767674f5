#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into fuzz/corpus/<target>/seed-*.

Seeds are the starting points scripts/fuzz mutates; what the fuzzer finds beyond them is merged into
the same folders. Run from anywhere; existing seed files are overwritten, other corpus files are kept.
"""
import pathlib

FUZZ = pathlib.Path(__file__).resolve().parent
ROOT = FUZZ.parent


def write(target, name, data):
    folder = FUZZ / "corpus" / target
    folder.mkdir(parents=True, exist_ok=True)
    (folder / ("seed-" + name)).write_bytes(data if isinstance(data, bytes) else data.encode())


# ---- property bags -------------------------------------------------------------------------------
write("property_bag", "small", (ROOT / "tests/data/small_bag.json").read_bytes())
write("property_bag", "demo-page", (ROOT / "demo/pages/orders.json").read_bytes())
write("property_bag", "empty-object", "{}")
write("property_bag", "digit-keys", """{
  "NrOfUserDefinedScripts": 2, "UserDefinedScript1": "2", "#UserDefinedScript2": "Function x()",
  "UserDefinedScript2": "Other", "UserDefinedScriptOther": "Function Other()",
  "DRAVCriteriaCount": 3, "DRAVCriteria1_1": "A", "DRAVCriteria1_2": "==", "DRAVCriteria1_3": "1",
  "DRAVCriteriaType1": "1", "#DRAVCriteriaType1": 2
}""")
write("property_bag", "links", """{
  "DRAVReturnFieldCount": 2, "DRAVReturnFields0": " 1 - A", "DRAVReturnFields1": " 2 - B",
  "NrOfDRAVI18NFieldnames": 1, "DRAVI18NFieldnames0": " 2 - B",
  "NrOfEAII18NFieldValues": "1", "EAII18NFieldValues0": "x",
  "LinkedDataProvider": "KRMCustomers", "NrOfDRAVAvailableFieldsLinked": 1, "DRAVAvailableFieldsLinked0": "C",
  "NrOfSelectedDRAVLinkedFields": 1, "DRAVSelectedLinkedFields0": "C",
  "NrOfDRAVToLinkKeyFields": 1, "DRAVToLinkKeyFields0": "K",
  "NrOfLinkedDRAVFields": 2, "DRAVLinkFromFields1": " 1 - A", "DRAVLinkToFields1": "K",
  "DRAVLinkFromFields2": "0", "EAILinkFromFields1": "only row"
}""")
write("property_bag", "numbers", """{
  "EnableExtraFilters": true, "NrOfExtraIncludes": 2.0, "ExtraIncludes0": -1, "ExtraIncludes1": 1e3,
  "XSLFilename": 4294967296, "DataProvider": "KRMArticles", "EAIKeyFieldsCount": "1", "EAIKeyFieldnames0": false
}""")

write("property_bag", "links-count-overflow", '{"NrOfLinkedDRAVFields": 2147483647}')

# ---- registry files ------------------------------------------------------------------------------
write("registry_text", "demo", "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane]\r\n\"InstallDir\"=\"c:\\\\install\"\r\n\r\n")
write("registry_text", "every-form", "\ufeffWindows Registry Editor Version 5.00\n"
      "; written by hand\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Tessery]\n"
      "  @ = \"root \\\"here\\\"\"  \n"
      "\"Dir\"=\"C:\\Temp\\\\x\"\n"
      "\"N\"=DWORD:1F\n"
      "\"Bytes\"=hex:01, 02,\\\n"
      "    FF,\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
      "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
      "\"Wide\"=hex(1):3d,d8,00,de,80,dc,00,00\n"
      "\"Other\"=hex(b):01,02,03,04,05,06,07,08\n"
      "\"Gone\"=\"x\"\n"
      "\"gone\"=-\n"
      "[HKCR\\CLSID\\{00000000-0000-0000-0000-000000000001}\\InprocServer32]\n"
      "@=\"/opt/module.so\"\n"
      "[HKLM\\Software\\Old\\Sub]\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Old]\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\NeverThere]\n"
      "[HKEY_USERS]\n\"tab\"=\"a\tb\"\n"
      "[HKEY_CURRENT_CONFIG\\a]\\[b\\-c]\n")
write("registry_text", "long-hex", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\x]\r\n"
      "\"big\"=hex:" + ",".join(["07"] * 40) + ",\\\r\n  " + ",".join(["07"] * 10) + "\r\n")

# ---- field texts: a kind byte (fuzz/FieldTextFuzzer.cpp), then the text as a driver returns it ------
SMALL, INTEGER, EXACT, FLOAT, BIT, DATETIME, BINARY, TEXT = range(8)
for name, kind, field in [("small-bound", SMALL, "-32769"), ("integer-bound", INTEGER, "2147483648"),
                          ("integer-digits", INTEGER, "+999999999999999"), ("exact", EXACT, "-1234567890.12345"),
                          ("exact-whole", EXACT, "5000000000"), ("exponent", FLOAT, "1.5E-308"),
                          ("bit", BIT, "1"), ("date", DATETIME, "2024-02-29"),
                          ("before-day-0", DATETIME, "1850-06-15T06:00:00"),
                          ("fraction", DATETIME, "2024-01-31 23:59:59.125"), ("time", DATETIME, "23:59:59"),
                          ("bytes", BINARY, b"\0\xff"), ("text", TEXT, "ABC")]:
    write("field_text", name, bytes([kind]) + (field.encode() if isinstance(field, str) else field))

# ---- the service's command line ----------------------------------------------------------------
for name, line in [("service", "-Service"), ("regserver", "/RegServer"), ("unregserver", "x -UNREGSERVER"),
                   ("not-last", "-Service extra"), ("path", "/opt/x/Service"),
                   ("arguments", b"-v\0/unregServer\0")]:
    write("command_line", name, line)

# ---- page text: operations, then the template (see PageTextFuzzer.cpp) ---------------------------
def text(s):
    b = s.encode() if isinstance(s, str) else s
    return bytes([len(b)]) + b


DRAV, EAI = b"\x01", b"\x00"
template = (ROOT / "tests/data/page_template.asp").read_bytes()
ops = b"".join([
    b"\x0c" + text("KRMCustomers"),                     # a load: comes first, as it resets the lists
    b"\x00\x00\x02",                                    # the second demo provider
    b"\x01" + DRAV + text("ORDERID"), b"\x01" + EAI + text("Order.Number"),
    b"\x02" + text("include/a.asp"), b"\x03" + text("xsl/Orders.xsl"),
    b"\x04" + text("Today") + text("Function Today()\r\n\tToday = Date()\r\nEnd Function"),
    b"\x05" + DRAV + b"\x14" + text(" 1 - ORDERID"), b"\x05" + EAI + b"\x04" + text("Order.Status"),
    b"\x06" + DRAV + b"\x00" + text("ORDERID") + b"\x00" + text("Today") + b"\x04",
    b"\x06" + EAI + b"\x00" + text("Status") + b"\x02" + text("open") + b"\xff",
    b"\x07" + DRAV + text(" 3 - CUSTOMER"), b"\x08" + DRAV + b"\x00" + text(" 1 - ORDERID") + text("CUSTID"),
    b"\x09\x01", b"\x0a\x01" + text("/shop/") + text("/shop/orders/list.asp"),
])
write("page_text", "demo-template", ops + b"\x0f\x00" + template)
write("page_text", "placeholders-in-inserted-text",
      b"\x03" + text("<DATAPROVIDER_VARNAME>.xsl <path_to_root>") + b"\x0a\x01" + text("/") + text("/a/b/") +
      b"\x04" + text("s") + text("<LINKED_DATAPROVIDER> <Enable_Extra_Filters>") +
      b"\x0f\x00" + b"<XSL_FILENAME>|<USER_DEFINED_SCRIPTS>|<<PATH_TO_ROOT>>|<path_to_root\r\n<x\rline\n")
write("page_text", "failures", b"\x0b\x02" + b"\x05" + DRAV + b"\x00" + text("no separator") +
      b"\x0f\x00" + b"<PATH_TO_ROOT>" * 8)
write("page_text", "read-failure", b"\x0d\x10" + b"\x0f\x00" + b"<PATH_TO_ROOT>\r\n" * 8)
write("page_text", "replace", b"\x0e" + text("aAbB<<a>") + text("<A") + text("<a") +
      b"\x0e" + text("xxxx") + text("xx") + text("") + b"\x0f\x01")

# ---- designer actions ----------------------------------------------------------------------------
# Each action is a control index, a kind and its arguments (fuzz/EditorActionsFuzzer.cpp); seeds are
# fixed pseudo-random sequences, a start the fuzzer grows from.
import random
rng = random.Random(15)
for n in range(6):
    write("editor_actions", "monkey-%d" % n, bytes(rng.randrange(256) for _ in range(600)))
