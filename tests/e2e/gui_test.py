#!/usr/bin/env python3
# End-to-end tests of the desktop application Orvalix.exe under Wine on a virtual X display.
#
#   gui_test.py --exe Orvalix.exe --probe orvalix-gui-probe.exe --screenshots DIR {Japanese,English}
#
# The test makes a Wine prefix and an Xvfb display of its own, runs the application on a data folder
# it writes, types at it through xdotool as a user would, talks to it over UDP and looks at its windows
# through orvalix-gui-probe.exe, a console tool that runs in the same prefix and prints JSON. Wine's
# output always goes to files: its helper processes keep a reading pipe open. Every wait is bounded;
# the wineserver and the display end with the test however it ends. Exit status 77 when a tool is missing.
# --keep keeps the work folder (prefix, Wine's output); ORVALIX_GUI_WINEDEBUG sets WINEDEBUG (default -all).

import argparse, json, os, re, select, shutil, socket, subprocess, sys, tempfile, time, unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from e2e_test import E2ETest, free_udp_port, request, reply, write_device, write_status_device  # noqa: E402

SKIP = 77
OPTIONS = None
DESKTOP = None

LANGUAGES = {
    "Japanese": dict(locale="ja_JP.UTF-8", time="日時", name="名称", length="長さ",
                     exit_prompt="通信中です。終了しますか？", cant_open="{} を開けません。"),
    "English": dict(locale="en_US.UTF-8", time="Time", name="Name", length="Length",
                    exit_prompt="Communication is in progress. Sure to Exit?", cant_open="Can't open {}"),
}
# Japanese glyphs come from the IPA fonts; the virtual desktop gives windows their captions.
REGISTRY = r"""Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="IPAGothic"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"
"Meiryo UI"="IPAPGothic"
"Yu Gothic UI"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x800"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000
"""
IPA_FONT = Path("/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf")


def windows_path(path):  # the Unix root is drive Z: under Wine
    return "Z:" + str(path).replace("/", "\\")


def find_tool(*candidates):
    for candidate in candidates:
        found = shutil.which(candidate)
        if found:
            return found
    return None


def wait_until(what, probe, timeout=30, interval=0.2):
    # Polls probe() until it gives something other than None or False; fails after timeout seconds.
    deadline = time.monotonic() + timeout
    while True:
        result = probe()
        if result not in (None, False):
            return result
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)


class Desktop:
    # A Wine prefix with its wineserver and an Xvfb display, both ours alone.
    def __init__(self, work, wine, wineserver):
        self.work, self.wine, self.wineserver = work, wine, wineserver
        self.prefix, self.xvfb, self.serial = work / "prefix", None, 0

    def start(self):
        self.xvfb, self.display = start_xvfb(self.work / "xvfb.log")
        self.environment = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "LANGUAGE"))} | {
            "WINEPREFIX": str(self.prefix), "WINEARCH": "win64", "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "WINEDEBUG": os.environ.get("ORVALIX_GUI_WINEDEBUG", "-all"), "DISPLAY": self.display, "LANG": "C.UTF-8"}
        self.run_wine(["wineboot", "-i"], timeout=180)
        (self.work / "settings.reg").write_text(REGISTRY.replace("\n", "\r\n"), encoding="utf-16")
        self.run_wine(["regedit", "/S", windows_path(self.work / "settings.reg")], timeout=60)
        # wineboot's desktop process predates the virtual desktop setting: let the server end with it.
        try:
            subprocess.run([self.wineserver, "-w"], env=self.environment, timeout=60, check=False)
        except subprocess.TimeoutExpired:
            subprocess.run([self.wineserver, "-k"], env=self.environment, timeout=30, check=False)

    def stop(self):
        if self.prefix.exists() and self.xvfb:
            subprocess.run([self.wineserver, "-k"], env=self.environment, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=30, check=False)
            try:
                subprocess.run([self.wineserver, "-w"], env=self.environment, timeout=30, check=False)
            except subprocess.TimeoutExpired:
                pass
        if self.xvfb:
            self.xvfb.kill()
            self.xvfb.wait(timeout=30)

    def log(self, name):
        self.serial += 1
        return open(self.work / f"{self.serial:03d}-{name}.log", "wb")

    def start_wine(self, arguments, language="C.UTF-8", log="wine"):
        environment = self.environment | {"LANG": language, "LC_ALL": language}
        with self.log(log) as output:
            return subprocess.Popen([self.wine, *arguments], env=environment, stdin=subprocess.DEVNULL,
                                    stdout=output, stderr=subprocess.STDOUT)

    def run_wine(self, arguments, timeout=60):
        process = self.start_wine(arguments, log=Path(arguments[0]).stem)
        try:
            return process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            process.kill()
            raise AssertionError(f"wine {' '.join(arguments)} did not end within {timeout} s")

    def probe(self, *arguments):
        # The probe's JSON answer, or None when it failed.
        answer = self.work / "probe.json"
        with open(answer, "wb") as output, open(self.work / "probe.err", "wb") as errors:
            status = subprocess.run([self.wine, OPTIONS.probe, *arguments], env=self.environment,
                                    stdin=subprocess.DEVNULL, stdout=output, stderr=errors, timeout=60,
                                    check=False).returncode
        text = answer.read_text("utf-8")
        return json.loads(text) if status == 0 and text.strip() else None

    def windows(self):
        return self.probe("windows") or []

    def xdotool(self, *arguments):
        return subprocess.run(["xdotool", *arguments], env=self.environment, capture_output=True, text=True,
                              timeout=30, check=False)

    def focus(self, title_pattern):
        found = wait_until(f"an X window named {title_pattern!r}",
                           lambda: self.xdotool("search", "--name", title_pattern).stdout.split(), timeout=20)
        self.xdotool("windowfocus", "--sync", found[0])

    def click(self, x, y):
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    def keys(self, *keys):
        for key in keys:
            self.xdotool("key", key)

    def screenshot(self, name):
        folder = Path(OPTIONS.screenshots)
        folder.mkdir(parents=True, exist_ok=True)
        subprocess.run(["import", "-window", "root", str(folder / name)], env=self.environment,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)


def start_xvfb(log):
    # The first display number without a lock file; another test may take it first, then Xvfb ends and
    # the next one is tried.
    for number in range(100 + os.getpid() % 400, 1000):
        if Path(f"/tmp/.X{number}-lock").exists() or Path(f"/tmp/.X11-unix/X{number}").exists():
            continue
        with open(log, "ab") as output:
            xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                                    stdin=subprocess.DEVNULL, stdout=output, stderr=output)
        socket_file = Path(f"/tmp/.X11-unix/X{number}")
        try:
            wait_until("Xvfb's socket", lambda: socket_file.exists() or xvfb.poll() is not None, timeout=30)
        except AssertionError:
            xvfb.kill()
            raise
        if xvfb.poll() is None:
            return xvfb, f":{number}"
    raise AssertionError("no free X display number")


class Application:
    # One Orvalix.exe process, copied with the HDLC library into a folder of its own so that its
    # trace file lands there.
    def __init__(self, test, data):
        self.test, self.data = test, data
        self.folder = Path(tempfile.mkdtemp(prefix="app-", dir=DESKTOP.work))
        exe = Path(OPTIONS.exe)
        shutil.copy(exe, self.folder / "Orvalix.exe")
        if (exe.parent / "FbiHdlc.dll").exists():
            shutil.copy(exe.parent / "FbiHdlc.dll", self.folder)
        self.title = f"Orvalix - [ {windows_path(data)} ]"
        self.process = DESKTOP.start_wine([str(self.folder / "Orvalix.exe"), windows_path(data)],
                                          language=test.texts["locale"], log="orvalix")
        test.addCleanup(self.kill)

    def kill(self):
        # Still running at the end of a test means the test failed: a picture of the screen tells why.
        if self.process.poll() is None:
            DESKTOP.screenshot(f"{self.test.language}-{self.test._testMethodName}-failed.png")
            self.process.kill()
            self.process.wait(timeout=30)

    def main_window(self, windows):
        return next((w for w in windows if "MainWindow" in w["class"] and w["title"] == self.title), None)

    def wait_for_main_window(self):
        def shown():
            if self.process.poll() is not None:
                raise AssertionError(f"Orvalix.exe ended ({self.process.returncode}) before its window showed")
            return self.main_window(DESKTOP.windows())
        return wait_until(f"the main window {self.title!r}", shown, timeout=90)

    def message_box(self, windows):
        # The application's message box: caption, text and buttons.
        for window in windows:
            if window["class"] == "#32770" and window["title"] == "Orvalix":
                texts = [c["title"] for c in window["children"] if c["class"].lower() == "static" and c["title"]]
                return {"text": "\n".join(texts),
                        "buttons": {c["id"]: c["title"] for c in window["children"] if c["class"].lower() == "button"}}
        return None

    def wait_for_message_box(self, what):
        box = wait_until(what, lambda: self.message_box(DESKTOP.windows()), timeout=30)
        DESKTOP.focus("^Orvalix$")  # the keys that answer it go to its X window
        return box

    def menu(self, menu_key, item_key):
        # Alt+<menu>, then the item's letter once the menu has opened.
        DESKTOP.focus(r"^Orvalix - \[")
        DESKTOP.keys(menu_key)
        wait_until("the menu to open", lambda: any(w["class"] == "#32768" for w in DESKTOP.windows()), timeout=15)
        DESKTOP.keys(item_key)

    def wait_for_end(self, timeout=60):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError(f"Orvalix.exe did not end within {timeout} s; windows: {DESKTOP.windows()}")


class GuiTest(E2ETest):  # self.udp, a bound socket of the test's, and exchange()
    language = None

    @property
    def texts(self):
        return LANGUAGES[self.language]

    def write_folder(self, device_port):
        # D1 answers status requests; a request with byte 2 equal to 3 triggers a log file. E1 only
        # listens. X1 has no usable port and so no window.
        data = self.folder() / "data"
        data.mkdir()
        write_status_device(data, "D1", device_port, trigger="R[2] == 3", pre=1, post=1)
        write_device(data, "E1", f"127.0.0.1:{free_udp_port()}", [])
        write_device(data, "X1", "nowhere", [])
        return data

    def port_closed(self, port):
        # A connected socket hears the port-unreachable answer of a port nobody has bound.
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as connected:
            connected.connect(("127.0.0.1", port))
            try:
                connected.send(request(0x7f))
                if select.select([connected], [], [], 0.25)[0]:
                    connected.recv(65536)
            except ConnectionRefusedError:
                return True
        return False

    def traffic_windows(self, main):
        client = next(w for w in main["children"] if w["class"].lower() == "mdiclient")
        return {w["title"]: w for w in client["children"] if "TrafficWindow" in w["class"]}

    @staticmethod
    def lists(traffic_window):
        return {w["id"]: w for w in traffic_window["children"] if w["class"] == "SysListView32"}

    def check_windows(self, main):
        windows = self.traffic_windows(main)
        self.assertEqual(sorted(windows), ["D1", "E1"])
        texts = self.texts
        expected = {1: [texts["time"], texts["name"]], 2: [texts["time"], texts["length"], "Attribute"],
                    3: ["Ofs", *"01234567"]}
        for name, window in windows.items():
            lists = self.lists(window)
            self.assertEqual({k: [c["title"] for c in v.get("columns", [])] for k, v in lists.items()}, expected, name)
            for identifier, columns in ((k, v["columns"]) for k, v in lists.items()):
                self.assertTrue(all(c["width"] > 0 for c in columns), (name, identifier, columns))
            records = lists[2]["columns"]
            self.assertGreater(records[0]["width"], records[1]["width"], "the time column fits a whole time stamp")

    def traffic_window(self, name):
        main = self.app.main_window(DESKTOP.windows())
        return main and self.traffic_windows(main).get(name)

    def show_a_record_of(self, name):
        # A click on the window's caption brings it to the front (View, Tile cannot: Wine 8 lacks
        # TileWindows), one on a record fills the byte list: each record fits one row.
        left, top, right, _ = self.traffic_window(name)["rect"]
        DESKTOP.click((left + right) // 2, top + 10)
        in_front = lambda: next(iter(self.traffic_windows(self.app.main_window(DESKTOP.windows())))) == name
        wait_until(f"{name} in front", in_front, timeout=15)
        left, top, _, _ = self.lists(self.traffic_window(name))[2]["rect"]
        DESKTOP.click(left + 40, top + 30)  # below the column titles
        self.assertEqual(wait_until("the byte rows", lambda: self.list_counts(name).get(3), timeout=15), 1)

    def list_counts(self, name):
        window = self.traffic_window(name)
        return {k: v["items"] for k, v in self.lists(window).items()} if window else {}

    def test_run_exit_prompt_trace_and_log_file(self):
        port = free_udp_port()
        data = self.write_folder(f"127.0.0.1:{port}")
        self.app = app = Application(self, data)
        self.check_windows(app.wait_for_main_window())

        app.menu("alt+e", "s")
        for n in range(1, 5):
            self.assertEqual(self.exchange(port, request(n), resend=n == 1), reply(n), f"request {n}")
        # Four requests, four replies; the mark's condition holds from the first request on: one mark.
        counts = wait_until("the records in D1's list",
                            lambda: (c := self.list_counts("D1")).get(2, 0) >= 8 and c.get(1, 0) >= 1 and c)
        self.assertEqual(counts, {1: 1, 2: 8, 3: 0})
        self.assertEqual(self.list_counts("E1"), {1: 0, 2: 0, 3: 0})
        self.show_a_record_of("D1")
        DESKTOP.screenshot(f"{self.language}-running.png")

        app.menu("alt+e", "p")
        wait_until("the port to close after Stop", lambda: self.port_closed(port))
        app.menu("alt+e", "s")
        self.assertEqual(self.exchange(port, request(5)), reply(5), "after the second Start")

        app.menu("alt+f", "x")
        box = app.wait_for_message_box("the exit prompt")
        self.assertEqual(box["text"], self.texts["exit_prompt"])
        self.assertEqual(sorted(box["buttons"]), [6, 7], box)  # Yes, No
        DESKTOP.screenshot(f"{self.language}-exit-prompt.png")
        DESKTOP.keys("Return")  # the default answer is No: the run goes on
        wait_until("the exit prompt to close", lambda: app.message_box(DESKTOP.windows()) is None)
        self.assertIsNotNone(app.main_window(DESKTOP.windows()))
        self.assertEqual(self.exchange(port, request(6)), reply(6), "after answering No")

        app.menu("alt+f", "x")
        app.wait_for_message_box("the exit prompt, again")
        DESKTOP.keys("y")
        self.assertEqual(app.wait_for_end(), 0)

        trace = (app.folder / "Primary.csv").read_text("utf-8-sig")
        for checkpoint in ("Start application.", "OnTickUpdateTimer : started.", "UpdateTraffic : Saved to disk."):
            self.assertRegex(trace, re.compile(rf"^.*,,{re.escape(checkpoint)}\r?$", re.MULTILINE))
        logs = list((data / "Logs" / "D1").glob("StatusRequest-*.log"))
        self.assertEqual(len(logs), 1, logs)
        # One record before the triggering request, the request, one after it.
        lines = logs[0].read_bytes().decode("utf-8-sig").splitlines()
        self.assertEqual([re.sub(r"^[^,]*,", "", line) for line in lines],
                         [f"{len(d)},{a},{','.join(f'{b:02x}' for b in d)}"
                          for a, d in (("00000000", reply(2)), ("80000000", request(3)), ("00000000", reply(3)))])

    def test_a_port_that_cannot_be_opened_ends_the_run_with_its_message(self):
        # The test's socket holds the port. (An address not on this host will not do: Wine binds to it.)
        port = f"127.0.0.1:{self.udp.getsockname()[1]}"
        data = self.write_folder(port)
        self.app = app = Application(self, data)
        app.wait_for_main_window()
        app.menu("alt+e", "s")
        box = app.wait_for_message_box("the message that the port cannot be opened")
        # The system's reason follows on a line of its own (Wine gives some only as their number).
        first_line, _, reason = box["text"].partition("\n")
        self.assertEqual(first_line, self.texts["cant_open"].format(port))
        self.assertTrue(reason.strip(), box["text"])
        DESKTOP.screenshot(f"{self.language}-cant-open.png")
        DESKTOP.keys("Return")
        wait_until("the message to close", lambda: app.message_box(DESKTOP.windows()) is None)
        # The run has ended, so Exit asks nothing.
        app.menu("alt+f", "x")
        self.assertEqual(app.wait_for_end(), 0)


def missing_tools(language):
    missing = [tool for tool in ("Xvfb", "xdotool", "import") if not shutil.which(tool)]
    if not find_tool("wine", "/usr/lib/wine/wine64"):
        missing.append("wine")
    if not find_tool("wineserver", "/usr/lib/wine/wineserver64"):
        missing.append("wineserver")
    if language == "Japanese" and not IPA_FONT.exists():
        missing.append("fonts-ipafont-gothic")
    return missing


def main():
    global OPTIONS, DESKTOP
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--probe", required=True)
    parser.add_argument("--screenshots", required=True)
    parser.add_argument("--keep", action="store_true", help="keep the work folder (prefix, logs)")
    parser.add_argument("language", choices=sorted(LANGUAGES))
    OPTIONS, rest = parser.parse_known_args()
    missing = missing_tools(OPTIONS.language)
    if missing:
        print("skipped: missing " + ", ".join(missing), file=sys.stderr)
        sys.exit(SKIP)

    GuiTest.language = OPTIONS.language
    work = Path(tempfile.mkdtemp(prefix=f"orvalix-gui-{OPTIONS.language}-"))
    DESKTOP = Desktop(work, find_tool("wine", "/usr/lib/wine/wine64"),
                      find_tool("wineserver", "/usr/lib/wine/wineserver64"))
    passed = False
    try:
        DESKTOP.start()
        suite = unittest.defaultTestLoader.loadTestsFromTestCase(GuiTest)
        if rest:
            suite = unittest.defaultTestLoader.loadTestsFromNames(rest, sys.modules[__name__])
        passed = unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful()
    finally:
        DESKTOP.stop()
        if OPTIONS.keep:
            print(f"work folder kept: {work}", file=sys.stderr)
        else:
            shutil.rmtree(work, ignore_errors=True)
    sys.exit(0 if passed else 1)


if __name__ == "__main__":
    main()
