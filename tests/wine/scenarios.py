#!/usr/bin/env python3
"""VESKAL.exe under Wine, used as a person uses it.

Each scenario sets the registry with `wine reg`, starts the program in an
Xvfb display with a French locale, answers each box with xdotool (Return is
Oui, n is Non), then checks what Wine's relay trace says the program called
(every MessageBoxA with its text, caption and style, ExitWindowsEx and its
flags, the registry calls) and reads the registry back with `wine reg query`.
A screenshot of each distinct box is saved as PNG in the output folder.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer"
VALUE = "NoFavoritesMenu"
CAPTION = "VESKAL pour Windows 98"
QUESTION_STYLE, ERROR_STYLE = 0x24, 0x10

ABOUT = ("VESKAL v1.0 Win98 © 2026 Les auteurs de VESKAL\r\n"
         "\r\n"
         "Fonction : Option suppression [menu Favoris] de Démarrer.\r\n"
         "Note       : Option réversible en relançant le programme\r\n"
         "\r\n")
SHOWN = ABOUT + "Le menu Favoris est affiché. Voulez-vous le supprimer ?"
HIDDEN = ABOUT + "Le menu Favoris n'est pas affiché. Voulez-vous l'afficher ?"


def success(result_line):
    return ("L'opération s'est déroulée avec succés.\r\n" + result_line + "\r\n"
            "\r\n"
            "Votre ordinateur doit redémarrer pour prendre en\r\n"
            "compte les modifications apportées. Voulez-vous\r\n"
            "redémarrer maintenant ?")


HID = success("Le menu Favoris a été supprimé.")
RESTORED = success("Le menu Favoris a été restauré.")
WIN3 = "Ce programme ne peut pas être utilisé sous Windows 3.x !"

# Each box: a name for its screenshot, its text and its style.
BOXES = {
    "question-shown": (SHOWN, QUESTION_STYLE),
    "question-hidden": (HIDDEN, QUESTION_STYLE),
    "success-hidden": (HID, QUESTION_STYLE),
    "success-restored": (RESTORED, QUESTION_STYLE),
    "refused-windows-3": (WIN3, ERROR_STYLE),
}

RELAYED = ["user32.MessageBoxA", "user32.ExitWindowsEx", "kernel32.GetVersion",
           "advapi32.RegOpenKeyExA", "advapi32.RegCreateKeyExA",
           "advapi32.RegQueryValueExA", "advapi32.RegSetValueExA",
           "advapi32.RegDeleteValueA", "advapi32.RegCloseKey",
           "advapi32.AdjustTokenPrivileges"]
REGISTRY_CALLS = ("RegOpenKeyExA", "RegCreateKeyExA", "RegQueryValueExA",
                  "RegSetValueExA", "RegDeleteValueA", "RegCloseKey")


def relay_text(text):
    """A code page 1252 text as Wine's relay trace prints it."""
    out = []
    for b in text.encode("cp1252"):
        c = chr(b)
        if c == "\r":
            out.append("\\r")
        elif c == "\n":
            out.append("\\n")
        elif c in "\\\"":
            out.append("\\" + c)
        elif b < 0x20 or b >= 0x7F:
            out.append("\\x%02x" % b)
        else:
            out.append(c)
    return "".join(out)


class Wine:
    def __init__(self, prefix, display):
        self.env = dict(os.environ, WINEPREFIX=prefix, WINEARCH="win32",
                        WINEDLLOVERRIDES="mscoree,mshtml=", DISPLAY=display,
                        LANG="fr_FR.UTF-8", LC_ALL="fr_FR.UTF-8", WINEDEBUG="-all")

    def run(self, *args, check=True):
        # Files, not pipes: Wine's background services would hold a pipe open.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            done = subprocess.run(["wine"] + list(args), env=self.env, stdout=out, stderr=err,
                                  stdin=subprocess.DEVNULL)
            out.seek(0)
            err.seek(0)
            done.stdout, done.stderr = out.read(), err.read()
        if check and done.returncode != 0:
            raise RuntimeError("wine %s failed: %s" % (" ".join(args), done.stderr[-500:]))
        return done

    def reg(self, *args, check=True):
        return self.run("reg", *args, check=check)

    def value(self):
        """(type, data) of the setting, None when absent; 'no key' when the key is."""
        done = self.reg("query", KEY, check=False)
        if done.returncode != 0:
            return "no key"
        for line in done.stdout.decode("utf-8", "replace").splitlines():
            parts = line.split()
            if len(parts) >= 2 and parts[0].lower() == VALUE.lower():
                return (parts[1], " ".join(parts[2:]))
        return None


def windows_named(display, name):
    done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                          env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
    return [w for w in done.stdout.split()]


class Runner:
    def __init__(self, exe, wine, display, out):
        self.exe, self.wine, self.display, self.out = exe, wine, display, out
        self.failures = 0
        self.shots = set()

    def check(self, scenario, what, ok, detail=""):
        if not ok:
            self.failures += 1
            print("FAIL %s: %s %s" % (scenario, what, detail))

    def scenario(self, name, before, answers, boxes, after, version=None, restart=False,
                 privilege=None, registry=True, exe=None):
        """before: a list of `wine reg` argument lists; answers: keys, one a box;
        boxes: names from BOXES; after: what value() should give."""
        print("-- %s" % name, flush=True)
        app = r"HKCU\Software\Wine\AppDefaults\VESKAL.exe"
        if version:
            self.wine.reg("add", app, "/v", "Version", "/d", version, "/f")
        else:
            self.wine.reg("delete", app, "/f", check=False)
        for args in before:
            self.wine.reg(*args, check=args[0] != "delete")

        trace_path = os.path.join(self.out, "trace-%s.txt" % re.sub(r"\W+", "-", name))
        env = dict(self.wine.env, WINEDEBUG="+relay")
        with open(trace_path, "w") as trace:
            proc = subprocess.Popen(["wine", exe or self.exe], env=env, stdout=subprocess.DEVNULL,
                                    stderr=trace, cwd=os.path.dirname(self.exe))
            seen = set()
            for index, key in enumerate(answers):
                window = None
                deadline = time.time() + 60
                while time.time() < deadline and proc.poll() is None:
                    fresh = [w for w in windows_named(self.display, CAPTION) if w not in seen]
                    if fresh:
                        window = fresh[0]
                        break
                    time.sleep(0.2)
                if window is None:
                    self.check(name, "box %d never appeared" % (index + 1), False)
                    break
                seen.add(window)
                time.sleep(0.5)  # let it paint
                if index < len(boxes) and boxes[index] not in self.shots:
                    shot = os.path.join(self.out, boxes[index] + ".png")
                    subprocess.run(["import", "-window", window, shot],
                                   env=dict(os.environ, DISPLAY=self.display),
                                   capture_output=True)
                    self.shots.add(boxes[index])
                subprocess.run(["xdotool", "key", "--window", window, key],
                               env=dict(os.environ, DISPLAY=self.display), capture_output=True)
            try:
                code = proc.wait(timeout=60)
            except subprocess.TimeoutExpired:
                proc.kill()
                code = "timeout"
        self.check(name, "exit code", code == 0, repr(code))

        # Calls made by VESKAL.exe itself: from its image, on the thread of the
        # first such call (ExitWindowsEx starts other programs in the trace).
        calls, thread = [], None
        for line in open(trace_path, encoding="latin-1"):
            m = re.match(r"^([0-9a-f]+):Call (\w+)\.(\w+)\((.*)\) ret=([0-9a-f]{8})$",
                         line.rstrip("\n"))
            if m and 0x400000 <= int(m.group(5), 16) < 0x500000 and thread in (None, m.group(1)):
                thread = m.group(1)
                calls.append((m.group(3), m.group(4)))
        shown = []
        for function, args in calls:
            if function == "MessageBoxA":
                m = re.match(r'^([0-9a-f]{8}),[0-9a-f]{8} "(.*)",[0-9a-f]{8} "(.*)",([0-9a-f]{8})$', args)
                shown.append((m.group(1), m.group(2), m.group(3), int(m.group(4), 16)) if m else args)
        expected = [("00000000", relay_text(BOXES[b][0]), relay_text(CAPTION), BOXES[b][1])
                    for b in boxes]
        self.check(name, "message boxes", shown == expected,
                   "\n  seen:     %r\n  expected: %r" % (shown, expected))
        exits = [args for function, args in calls if function == "ExitWindowsEx"]
        self.check(name, "restart request", exits == (["00000003,00000000"] if restart else []),
                   repr(exits))
        if privilege is not None:
            adjusted = [f for f, _ in calls if f == "AdjustTokenPrivileges"]
            self.check(name, "shutdown privilege", bool(adjusted) == privilege, repr(adjusted))
        touched = [f for f, _ in calls if f in REGISTRY_CALLS]
        self.check(name, "registry calls", bool(touched) == registry, repr(touched))
        state = self.wine.value()
        self.check(name, "registry afterwards", state == after, "%r != %r" % (state, after))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--out", required=True)
    options = parser.parse_args()
    options.prefix = os.path.abspath(options.prefix)
    options.out = os.path.abspath(options.out)
    os.makedirs(options.out, exist_ok=True)
    exe = os.path.join(options.out, "VESKAL.exe")
    shutil.copy(options.exe, exe)  # runs beside its traces, as VESKAL.exe

    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    display = ":" + xvfb.stdout.readline().strip()
    wine = Wine(options.prefix, display)
    try:
        if not os.path.exists(os.path.join(options.prefix, "system.reg")):
            subprocess.run(["wineboot", "-i"], env=wine.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-p"], env=wine.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)  # one server for every run
        wine.reg("add", r"HKCU\Software\Wine\Debug", "/v", "RelayInclude", "/t", "REG_SZ",
                 "/d", ";".join(RELAYED), "/f")
        run = Runner(exe, wine, display, options.out)
        absent = [["delete", KEY, "/f"]]
        dword = lambda n: [["add", KEY, "/v", VALUE, "/t", "REG_DWORD", "/d", str(n), "/f"]]

        run.scenario("missing key: Yes hides, Non to the restart", absent, ["Return", "n"],
                     ["question-shown", "success-hidden"], ("REG_DWORD", "0x1"))
        run.scenario("second run: Yes shows again, the key stays", [], ["Return", "n"],
                     ["question-hidden", "success-restored"], None)
        run.scenario("REG_SZ 1 counts as shown; Yes makes it the DWORD 1",
                     absent + [["add", KEY, "/v", VALUE, "/t", "REG_SZ", "/d", "1", "/f"]],
                     ["Return", "n"], ["question-shown", "success-hidden"], ("REG_DWORD", "0x1"))
        run.scenario("DWORD 2 counts as hidden; Yes deletes it", dword(2), ["Return", "n"],
                     ["question-hidden", "success-restored"], None)
        run.scenario("Non at the question writes nothing, one box", dword(0), ["n"],
                     ["question-shown"], ("REG_DWORD", "0x0"))
        run.scenario("Oui to the restart on NT: privilege, then ExitWindowsEx(3, 0)", dword(1),
                     ["Return", "Return"], ["question-hidden", "success-restored"], None,
                     version="win10", restart=True, privilege=True)
        run.scenario("Oui to the restart on Windows 98: no privilege to enable", dword(1),
                     ["Return", "Return"], ["question-hidden", "success-restored"], None,
                     version="win98", restart=True, privilege=False)
        for version in ("win31", "nt351"):
            run.scenario("Windows version %s is refused" % version, dword(1), ["Return"],
                         ["refused-windows-3"], ("REG_DWORD", "0x1"), version=version,
                         registry=False)
        for version in ("win98", "winxp", "win10"):
            run.scenario("Windows version %s runs" % version, absent, ["n"],
                         ["question-shown"], "no key", version=version)
        # A copy whose ownership notice was altered ends at once, without a word.
        patched = os.path.join(options.out, "VESKAL-altered.exe")
        data = bytearray(open(exe, "rb").read())
        data[data.index(b"Les auteurs de VESKAL")] = ord("D")
        open(patched, "wb").write(data)
        run.scenario("an altered notice ends the program silently", dword(1), [], [],
                     ("REG_DWORD", "0x1"), registry=False, exe=patched)
        run.wine.reg("delete", r"HKCU\Software\Wine\AppDefaults\VESKAL.exe", "/f", check=False)
    finally:
        subprocess.run(["wineserver", "-k"], env=wine.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        xvfb.terminate()
    if run.failures:
        print("wine scenarios: %d check(s) failed" % run.failures)
        return 1
    print("wine scenarios: all checks passed; screenshots in %s" % options.out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
