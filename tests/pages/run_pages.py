#!/usr/bin/python3
"""Generated pages run on a real VBScript engine (Wine's cscript).

Each page is compiled the way an ASP engine compiles it: include directives are replaced by the
included file (looked up in the demo installation, which is the site, then in this folder's site/ for
files only the test pages name), directives are dropped, literal text becomes Response.Write, <%= %>
a written expression, <% %> and server-side script blocks code. The stand-ins of ServerObjects.vbs
come first and a sentinel last; the page runs once with the data provider's Kind "DRAV" and once
"EAI", each run in an engine of its own, as two requests would. A run passes when the sentinel is
printed, the engine reports no script error and the recorded calls equal expected/<page>.calls.

  run_pages.py --dtchost D --regsvr R --module M... --work FOLDER

The Wine prefix is made in a temporary folder below FOLDER for this run and removed with it (KEEP=1
keeps the folder). TESSERY_UPDATE_GOLDEN=1 writes the recorded calls into the expected files.
"""
import argparse
import difflib
import os
import posixpath
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent.parent
SITES = [ROOT / "demo/install", HERE / "site"]
SENTINEL = "-- end of page --"
KINDS = ("DRAV", "EAI")

INCLUDE = re.compile(r'<!--\s*#include\s+(file|virtual)\s*=\s*"([^"]*)"\s*-->', re.I)
BLOCK = re.compile(r'<%(.*?)%>|<script\b([^>]*\brunat\s*=\s*"?server\b[^>]*)>(.*?)</script\s*>', re.I | re.S)
OPTION_EXPLICIT = re.compile(r"\s*option\s+explicit\s*", re.I)


class PageError(Exception):
    pass


def read_text(path):
    return Path(path).read_bytes().decode("latin-1")  # the bytes as they are


def expand_includes(text, folder, depth=0):
    """The page with every include directive replaced by its file; FOLDER is the page's own folder
    below the site root ("" or ending in "/"), against which file= paths are taken."""
    if depth > 8:
        raise PageError("include files nested more than 8 deep")

    def include(match):
        if match.group(1).lower() != "file":
            raise PageError(f"virtual include not supported here: {match.group(0)}")
        target = posixpath.normpath(folder + match.group(2).replace("\\", "/"))
        if target.startswith("../") or target.startswith("/"):
            raise PageError(f"include file outside the site: {match.group(2)}")
        for site in SITES:
            if (site / target).is_file():
                return expand_includes(read_text(site / target), posixpath.dirname(target) + "/", depth + 1)
        raise PageError(f"include file not found: {match.group(2)}")

    return INCLUDE.sub(include, text)


def vb_string(text):
    text = '"' + text.replace('"', '""').replace("\r\n", '" & vbCrLf & "') + '"'
    return text.replace("\r", '" & vbCr & "').replace("\n", '" & vbLf & "')


def compile_page(text):
    """The page's VBScript: a list of statements; an Option Explicit that is the page's first code
    comes back separately, since the engine wants it ahead of everything, the stand-ins included."""
    statements, position, option_explicit, code_seen = [], 0, False, False

    def literal(piece):
        if piece:
            statements.append("Response.Write " + vb_string(piece))

    for match in BLOCK.finditer(text):
        literal(text[position : match.start()])
        position = match.end()
        code, attributes, script = match.groups()
        if code is not None and code.startswith("@"):
            continue  # a processing directive
        if code is None:
            language = re.search(r'\blanguage\s*=\s*"?(\w+)', attributes, re.I)
            if language and language.group(1).lower() != "vbscript":
                raise PageError(f"server script in another language: <script{attributes}>")
            statements.append(script)
        elif code.startswith("="):
            statements.append("Response.Write " + code[1:].strip())
        elif not code_seen and OPTION_EXPLICIT.fullmatch(code):
            option_explicit = True
        else:
            statements.append(code)
        code_seen = True
    literal(text[position:])
    return option_explicit, statements


def page_script(text, folder, kind):
    option_explicit, statements = compile_page(expand_includes(text, folder))
    stand_ins = read_text(HERE / "ServerObjects.vbs").replace("\r\n", "\n").replace("\n", "\r\n")
    head = ["Option Explicit"] if option_explicit else []
    head += [f"Const PAGE_PROVIDER_KIND = {vb_string(kind)}", f"Const PAGE_FOLDER = {vb_string(folder)}"]
    head.append(stand_ins)
    return "\r\n".join(head + statements + [f"WScript.Echo {vb_string(SENTINEL)}", ""])


class Wine:
    """One prefix for the whole run, with its server kept up between the runs of the pages."""

    def __init__(self, work):
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
        # The run's own prefix and home folder (Wine writes menu entries there); no installers for
        # the .NET and HTML engines, nor menu entries; the script engine's channels only: script
        # errors come there, and cscript exits 0 after one.
        self.env.update(WINEPREFIX=str(work / "prefix"), HOME=str(work),
                        WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d",
                        WINEDEBUG="-all,fixme+vbscript,fixme+wscript,err+vbscript,err+wscript")
        self.started = False

    def start(self):
        # The server first, kept up between the runs until stop() and 10 s after its last client
        # should the test be killed; it keeps no pipe of ours open.
        prefix = Path(self.env["WINEPREFIX"])
        prefix.mkdir()
        prefix.chmod(0o700)
        subprocess.run(["wineserver", "-p10"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True, timeout=60)
        self.started = True
        self.call(["wineboot", "--init"], timeout=240)

    def stop(self):
        if self.started:
            subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)

    def call(self, command, timeout, cwd=None):
        """(stdout, stderr) of COMMAND; its output goes through files, since the processes a Wine
        program starts outlive it and would keep a pipe open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(command, env=self.env, cwd=cwd, stdout=out, stderr=err, timeout=timeout)
            out.seek(0)
            err.seek(0)
            output = out.read().decode("latin-1"), err.read().decode("latin-1")
        if command[0] != "wine" and done.returncode != 0:
            raise PageError(f"{' '.join(command)} failed ({done.returncode}): {output[1]}")
        return output

    def run_script(self, path):
        """The lines the script printed and the engine's messages (wscript and vbscript channels)."""
        # cscript reads an argument starting with "/" as a switch: the script goes by its bare name.
        out, err = self.call(["wine", "cscript.exe", path.name], timeout=120, cwd=path.parent)
        printed = out.replace("\r", "").splitlines()
        engine = [line for line in err.splitlines() if re.search(r":(vbscript|wscript):", line)]
        return printed, engine


def script_failed(printed, engine):
    errors = [line for line in engine if re.search(r"OnScriptError|ParseScriptText failed|^\w+:err:", line)]
    if errors or not printed or printed[-1] != SENTINEL:
        return "the page did not run to its end" + "".join("\n    " + line for line in engine)
    return None


def read_expected(path):
    """{kind: [record lines]} from a file of sections headed [DRAV] and [EAI]."""
    sections, kind = {}, None
    for line in read_text(path).splitlines():
        if re.fullmatch(r"\[\w+\]", line):
            kind = line[1:-1]
            sections[kind] = []
        elif kind is not None:
            sections[kind].append(line)
    return sections


def write_expected(path, name, recorded):
    text = f"# What the page {name} does on its data providers, run as each kind (run_pages.py)\n"
    for kind in KINDS:
        text += f"[{kind}]\n" + "".join(line + "\n" for line in recorded[kind])
    path.write_text(text)


def make_pages(args, work):
    """The pages as (name, page text, folder below the site): the two demo pages rendered as
    scripts/demo renders them, and the whole-page files of the host's tests (made from the demo
    installation's template, as /shop/orders/list.asp). The host's test checks that dtchost renders
    those byte for byte, and that the demo page renders as tests/data/demo_orders_page.asp."""
    env = dict(os.environ, TESSERY_REGISTRY=str(work / "registry.reg"), TESSERY_DRIVE_C=str(ROOT / "demo"))
    (work / "registry.reg").write_text(
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane]\n"
        '"InstallDir"="c:\\\\install"\n\n'
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessery\\Tessery Corvane\\DataProviders]\n"
        '"CatalogFile"="c:\\\\install\\\\Vistelle\\\\dataproviders.json"\n')

    def run(*command):
        done = subprocess.run(command, env=env, capture_output=True, timeout=120)
        if done.returncode != 0:
            message = done.stderr.decode(errors="replace")
            raise PageError(f"{' '.join(map(str, command))} failed ({done.returncode}): {message}")
        return done.stdout.decode("latin-1")

    for module in args.module:
        run(args.regsvr, module)
    new_page = work / "new-page.json"
    run(args.dtchost, "new", new_page, "--script", ROOT / "demo/pages/new-page.script")
    return [
        ("orders", run(args.dtchost, "render", ROOT / "demo/pages/orders.json", "--site-base", "/shop/",
                       "--site-page", "/shop/orders/list.asp"), "orders/"),
        ("new-page", run(args.dtchost, "render", new_page, "--site-base", "/shop/",
                         "--site-page", "/shop/new.asp"), ""),
        *[(name, read_text(ROOT / f"tests/data/{name}_page.asp"), "orders/")
          for name in ("edit_general", "edit_criteria", "edit_links")],
    ]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dtchost", required=True)
    parser.add_argument("--regsvr", required=True)
    parser.add_argument("--module", action="append", default=[])
    parser.add_argument("--work", required=True)
    args = parser.parse_args()
    missing = [tool for tool in ("wine", "wineboot", "wineserver") if shutil.which(tool) is None]
    if missing:
        print(f"FAIL {', '.join(missing)} not found: the Debian packages wine and wine64 (scripts/deps)")
        return 1

    Path(args.work).mkdir(parents=True, exist_ok=True)
    work = Path(tempfile.mkdtemp(prefix="pages-", dir=args.work)).resolve()
    wine = Wine(work)
    passed = failed = 0

    def check(what, fault):
        nonlocal passed, failed
        print(("FAIL " if fault else "ok   ") + what + (f": {fault}" if fault else ""), flush=True)
        passed, failed = passed + (not fault), failed + bool(fault)

    try:
        pages = make_pages(args, work)
        wine.start()
        for name, text, folder in pages:
            expected_file = HERE / "expected" / f"{name}.calls"
            expected = read_expected(expected_file) if expected_file.exists() else {}
            recorded = {}
            for kind in KINDS:
                script = work / f"{name}-{kind}.vbs"
                script.write_bytes(page_script(text, folder, kind).encode("latin-1"))
                printed, engine = wine.run_script(script)
                fault = script_failed(printed, engine)
                recorded[kind] = [line for line in printed if line != SENTINEL]
                if not fault and recorded[kind] != expected.get(kind):
                    diff = difflib.unified_diff(expected.get(kind, []), recorded[kind], "expected",
                                                "recorded", lineterm="", n=1)
                    fault = f"the calls differ from {expected_file.relative_to(ROOT)}"
                    fault += "".join("\n    " + line for line in diff)
                check(f"{name} runs as a {kind} page", fault)
            if os.environ.get("TESSERY_UPDATE_GOLDEN"):
                write_expected(expected_file, name, recorded)

        # The engine's report of an error is read from its debug channel: a page that cannot run
        # must show as failing.
        broken = work / "broken.vbs"
        broken.write_bytes(page_script("<% Option Explicit %>\r\n<% Record NoSuchFunction() %>\r\n", "",
                                       "DRAV").encode())
        fault = script_failed(*wine.run_script(broken)) or ""
        check("a page that calls a missing function is reported, naming it",
              None if "NoSuchFunction" in fault else f"reported as {fault or 'passing'}")
    except (PageError, subprocess.TimeoutExpired) as error:
        check("the pages are made and run", str(error))
    finally:
        wine.stop()
        if not os.environ.get("KEEP"):
            shutil.rmtree(work, ignore_errors=True)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
