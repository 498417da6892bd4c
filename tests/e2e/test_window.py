"""The main window, its dialogs and the run sequence of both programs, driven as a user would."""

import unittest

import harness
from harness import Installation, dialog_text

V3 = ("Im angegebenen Verzeichnis wurde eine updatefähige Morvane-Version gefunden,\n"
      "die nicht über diesen PC installiert wurde.\n"
      "Soll die Update-Installation fortgestzt werden?")
USERS_SIGNED_IN = "Es sind noch Anwender in Morvane angemeldet!\nDas Update wird abgebrochen!"
BACKUP_LINES = [
    "Sicherung der Formularkataloge ...", "Sicherung Formularkataloge - OK",
    "Sicherung der Formulierungshilfen wird erstellt ...", "Sicherung Formulierungshilfen - OK",
    "Sicherung des Fächerkanons wird erstellt ...", "Sicherung Fächerkanon - OK",
    "Sicherung der NKK-Dateien wird erstellt ...", "Sicherung NKK-Dateien - OK",
]
FULL_LOG = {
    "P2": ["Benutzeranzahl - OK", "Die vorherige Morvane Installation wird gesichert ...", "Morvane Sicherung - OK",
           *BACKUP_LINES],
    "10": ["Morvane-Datenpfad - OK", "Morvane-Version - OK", "Benutzeranzahl - OK", *BACKUP_LINES],
}
# What the program's window shows until the user presses "Weiter": P2 first asks whether to go on.
WAITING = {"P2": ["dialog", "answer:&Ja", "window"], "10": ["window"]}
TITLE = {"P2": "Morvane Updater", "10": "Morvane-Updater"}
ERROR_BOX_CAPTION = {"P2": "Mvnupdaterp2_10", "10": "Mvnupdater10"}

STATUS_HEIGHT, LOG_HEIGHT = 19, 180

env: harness.Environment


def setUpModule():
    global env
    env = harness.environment()


def start(program, *actions, sample=None, prepare=None, **options):
    """Lays out the sample installation, points the program at it and runs it up to the waiting
    window, then the given actions. prepare(sample) changes the laid-out installation first."""
    sample = (sample or Installation()).lay_out(env)
    if prepare:
        prepare(sample)
    if program == "10":
        env.set_install_location(sample.install_dir + "\\")
    args = sample.install_dir if program == "P2" else None
    return env.run(program, args, actions=[*WAITING[program], *actions], **options)


def control(geometry, name):
    """A control of the main window by button caption or by kind ("log", "status")."""
    for c in geometry["controls"]:
        kind = c["class"].lower()
        if (name == "log" and kind.startswith("richedit")) or (name == "status" and kind == "msctls_statusbar32") \
                or (c["class"] == "Button" and c["text"] == name):
            return c
    raise AssertionError(f"no control {name!r} in {geometry['controls']}")


def centred_in(rect, area):
    """Centred in area, but never left of or above it; one pixel of rounding either way."""
    for offset, size in ((0, 2), (1, 3)):
        wanted = max(area[offset], area[offset] + (area[size] - rect[size]) // 2)
        if abs(rect[offset] - wanted) > 1:
            return False
    return True


def icon_colour(rect):
    """The dominant strong colour of an icon on the screen: "red" (error), "blue" (question)..."""
    width, height, rgb = env.capture(rect)
    counts = {"red": 0, "blue": 0, "yellow": 0}
    for i in range(0, width * height * 3, 3):
        r, g, b = rgb[i], rgb[i + 1], rgb[i + 2]
        if r > 160 and g < 90 and b < 90:
            counts["red"] += 1
        elif b > 150 and r < 110:
            counts["blue"] += 1
        elif r > 180 and g > 160 and b < 90:
            counts["yellow"] += 1
    colour, count = max(counts.items(), key=lambda kv: kv[1])
    return colour if count >= 20 else "none"


class Case(unittest.TestCase):
    def setUp(self):
        env.reset()

    def expect_exit(self, result, code):
        self.assertFalse(result.timed_out, result.describe())
        self.assertEqual(result.exit_code, code, result.describe())


class Geometry(Case):
    """Frames, sizes, positions and control layout before and after "Weiter"."""

    layouts = {}  # one run per program serves the tests of this class

    def layout(self, program):
        if program not in self.layouts:
            # A signed-in user stops the run at its first dialog, which holds the enlarged window still.
            result = start(program, "geometry", "click:Weiter", "dialog", "geometry", "answer:OK",
                           sample=Installation(user_count="1"))
            self.expect_exit(result, 1)
            self.assertEqual(dialog_text(result.dialogs[-1]), USERS_SIGNED_IN)
            self.layouts[program] = result.of("geometry")
        compact, enlarged = self.layouts[program]
        return compact, enlarged

    def test_frame_and_sizes(self):
        frames = {
            "P2": dict(caption=True, thickframe=True, sysmenu=True, minimizebox=True, maximizebox=True),
            "10": dict(caption=True, thickframe=False, sysmenu=False, minimizebox=False, maximizebox=False),
        }
        for program in ("P2", "10"):
            with self.subTest(program):
                compact, enlarged = self.layout(program)
                for state in (compact, enlarged):
                    self.assertEqual(state["caption"], TITLE[program])
                    self.assertEqual({k: state["flags"][k] for k in frames[program]}, frames[program])
                    self.assertTrue(not state["flags"]["toolwindow"]
                                    and (state["flags"]["appwindow"] or not state["owned"]), "no taskbar button")
                    self.assertEqual(state["client"][2], 388 if program == "P2" else 389)
                if program == "P2":
                    self.assertEqual((compact["client"][3], enlarged["client"][3]), (134, 314))
                else:
                    self.assertEqual((compact["rect"][3], enlarged["rect"][3]), (170, 340))
                area = compact["screen"]["desktop" if program == "P2" else "work_area"]
                self.assertTrue(centred_in(compact["rect"], area), f"{compact['rect']} not centred in {area}")
                self.assertEqual(enlarged["rect"][:3], compact["rect"][:3], "only the height may change")

    def test_controls(self):
        designed = {"P2": {"Abbruch": [210, 50, 85, 25], "Weiter": [296, 50, 85, 25]},
                    "10": {"Abbruch": [208, 55, 85, 25], "Weiter": [299, 55, 85, 25]}}
        tab_order = {"P2": ["Abbruch", "Weiter", "log"], "10": ["log", "Abbruch", "Weiter"]}
        for program in ("P2", "10"):
            with self.subTest(program):
                compact, enlarged = self.layout(program)
                for state in (compact, enlarged):
                    width, height = state["client"][2:]
                    for caption, rect in designed[program].items():
                        button = control(state, caption)
                        self.assertEqual(button["rect"], rect, caption)
                        self.assertTrue(button["visible"] and button["enabled"], caption)
                        self.assertEqual(button["default"], caption == "Weiter", caption)
                    log, status = control(state, "log"), control(state, "status")
                    self.assertEqual(status["parts"], [380])
                    self.assertTrue(status["visible"])
                    stops = [c for c in state["controls"] if c["tabstop"] and c is not status]
                    self.assertEqual(["log" if c is log else c["text"] for c in stops], tab_order[program])
                    if state is compact:
                        self.assertFalse(log["visible"], "the log shows in the compact window")
                        self.assertEqual(status["rect"], [0, height - STATUS_HEIGHT, width, STATUS_HEIGHT])
                        continue
                    self.assertTrue(log["visible"])
                    if program == "P2":  # log at the bottom, status bar directly above it
                        self.assertEqual(log["rect"], [0, height - LOG_HEIGHT, width, LOG_HEIGHT])
                        self.assertEqual(status["rect"], [0, height - LOG_HEIGHT - STATUS_HEIGHT, width,
                                                          STATUS_HEIGHT])
                    else:  # status bar at the bottom, log directly above it
                        self.assertEqual(status["rect"], [0, height - STATUS_HEIGHT, width, STATUS_HEIGHT])
                        self.assertEqual(log["rect"], [0, height - STATUS_HEIGHT - LOG_HEIGHT, width, LOG_HEIGHT])

    def test_resized_window_keeps_buttons_right_and_expand_resets_height(self):
        # Dragged 212 wider and 60 higher while waiting; "Weiter" then sets the enlarged height anew
        # from the compact one and keeps the width.
        result = start("P2", "resize:600x194", "geometry", "click:Weiter", "dialog", "geometry", "answer:OK",
                       sample=Installation(user_count="1"))
        self.expect_exit(result, 1)
        dragged, enlarged = result.of("geometry")
        for state, height in ((dragged, 194), (enlarged, 314)):
            self.assertEqual(state["client"][2:], [600, height])
            self.assertEqual(control(state, "Abbruch")["rect"], [600 - 178, 50, 85, 25])
            self.assertEqual(control(state, "Weiter")["rect"], [600 - 92, 50, 85, 25])
            self.assertEqual(control(state, "status")["rect"][2], 600)
        self.assertEqual(control(enlarged, "log")["rect"], [0, 314 - LOG_HEIGHT, 600, LOG_HEIGHT])

    def test_button_glyphs(self):
        # Glyph 0 (red cross) on "Abbruch", glyph 1 (green disc) on "Weiter", at the right edge.
        for program in ("P2", "10"):
            with self.subTest(program):
                colours = {}

                def look(_name, events):
                    geometry = [e for e in events if e["event"] == "geometry"][-1]
                    for caption in ("Abbruch", "Weiter"):
                        left, top, width, height = control(geometry, caption)["rect"]
                        x, y = geometry["client"][0] + left + width - 4 - 16, geometry["client"][1] + top
                        w, h, rgb = env.capture([x, y, 16, height])
                        pixels = [tuple(rgb[i:i + 3]) for i in range(0, w * h * 3, 3)]
                        colours[caption] = (sum(r > 150 and g < 90 and b < 90 for r, g, b in pixels),
                                            sum(g > 120 and r < 110 and b < 110 for r, g, b in pixels))

                result = start(program, "geometry", "painted", "checkpoint:glyphs", "close", checkpoint=look)
                self.expect_exit(result, 0)
                red, green = colours["Abbruch"], colours["Weiter"]
                self.assertGreater(red[0], 10, f"no red cross on Abbruch: {colours}")
                self.assertGreater(green[1], 10, f"no green disc on Weiter: {colours}")
                self.assertLess(red[1], 5, f"green on Abbruch: {colours}")
                self.assertLess(green[0], 5, f"red on Weiter: {colours}")


class WaitingWindow(Case):
    """What the compact window does with keys, buttons and closing."""

    def test_keys_buttons_and_closing(self):
        # (actions, exit code, whether a run started: a signed-in user makes its first step fail)
        cases = [
            (["key:esc"], 1, False),
            (["click:Abbruch"], 1, False),
            (["close"], 0, False),
            (["click:Weiter", "dialog", "answer:OK"], 1, True),
            (["tab-to:Weiter", "key:enter", "dialog", "answer:OK"], 1, True),
            (["tab-to:Abbruch", "key:enter"], 1, False),
            (["tab-to:Weiter", "key:esc"], 1, False),
        ]
        for program in ("P2", "10"):
            for actions, code, ran in cases:
                with self.subTest(program=program, actions=actions):
                    env.reset()
                    result = start(program, *actions, sample=Installation(user_count="1"))
                    self.expect_exit(result, code)
                    errors = [d for d in result.dialogs if d["caption"] == "Fehler"]
                    self.assertEqual(bool(errors), ran, result.describe())
                    if ran:
                        self.assertEqual(dialog_text(errors[0]), USERS_SIGNED_IN)

    def test_abbruch_during_a_run_ends_at_the_next_message_point(self):
        # Posted together with "Weiter" while the program is frozen, the click waits for the first
        # message point of the run; posted once the program has left the message point of a success
        # line for its pause, it waits for the point after the next step.
        sample = Installation()
        forms = [sample.forms_dir + "MVN_Bkp_" + n for n in harness.FORMS_FILES]
        aids = [sample.base_dir + "MVN_Bkp_Formulierungen\\" + n for n in harness.FORMULATION_FILES]
        canon = sample.data_dir + "MVN_Bkp_FAECHERKANON.dbf"
        record = sample.ini_dir + "MVN_9_Update.ini"
        executable = sample.install_dir + "\\Morvane9.EXE"
        at_start = ["freeze", "click:Weiter", "click:Abbruch", "thaw"]
        # Esc reaches "Abbruch" only through the dialog manager of the run's own message pump.
        esc_at_start = ["freeze", "click:Weiter", "key:esc", "thaw"]
        after_forms = ["click:Weiter", "wait-log:Sicherung Formularkataloge - OK", "wait-pause", "click:Abbruch"]
        cases = [
            ("P2", at_start, [executable], [*forms, record]),
            ("10", at_start, [], [*forms, record]),
            ("P2", esc_at_start, [executable], [*forms, record]),
            ("10", esc_at_start, [], [*forms, record]),
            # The archive step has emptied the directory by then; Abbruch puts it back first.
            ("P2", after_forms, [*forms, *aids, executable], [canon, record]),
            ("10", after_forms, [*forms, *aids], [canon, record]),
        ]
        for program, actions, present, absent in cases:
            with self.subTest(program=program, actions=actions):
                env.reset()
                result = start(program, *actions, sample=sample)
                self.expect_exit(result, 1)
                self.assertEqual([p for p in present if not env.path(p).exists()], [])
                self.assertEqual([p for p in absent if env.path(p).exists()], [])
                if program == "P2" and actions in (at_start, esc_at_start):
                    self.assertFalse((env.prefix.temp_dir / "mvnaltinst.zip").exists(), "archived after Abbruch")


    def test_initial_focus_is_on_weiter(self):
        for program in ("P2", "10"):
            with self.subTest(program):
                env.reset()
                result = start(program, "sync", "geometry", "close")
                self.expect_exit(result, 0)
                self.assertEqual(result.first("geometry")["focus"], "Weiter", result.describe())

    def test_closing_during_a_run_is_ignored(self):
        # Closing must never turn an unfinished run into exit code 0: here the run ends with an
        # error raised in a step (a folder where the update record goes), the window stays, and
        # only "Abbruch" ends the program.
        for program in ("P2", "10"):
            with self.subTest(program):
                env.reset()
                sample = Installation()
                result = start(program, "freeze", "click:Weiter", "close", "thaw", "dialog", "answer:OK", "sync",
                               "geometry", "click:Abbruch", sample=sample, timeout=20,
                               prepare=lambda s: env.mkdir(s.ini_dir + "MVN_9_Update.ini"))
                self.expect_exit(result, 1)
                self.assertEqual([d["caption"] for d in result.dialogs][-1:], [ERROR_BOX_CAPTION[program]],
                                 result.describe())
                self.assertTrue(result.first("geometry")["flags"]["visible"], result.describe())


class Dialogs(Case):
    """Captions, texts, buttons, icons and results of the two dialogs and of the error box."""

    def check_dialog(self, dialog, caption, text, buttons, default, colour=None):
        self.assertEqual(dialog["caption"], caption)
        self.assertEqual(dialog_text(dialog), text)
        self.assertEqual(dialog["buttons"], buttons)
        self.assertEqual(dialog["default"], default)
        self.assertTrue(dialog["icon"], "no icon")
        if colour:
            self.assertEqual(dialog.get("icon_colour"), colour, "icon")

    def run_with_icons(self, *args, **kwargs):
        """env.run, noting the icon colour of every dialog while it is on the screen."""
        colours = {}

        def look(_name, events):
            dialogs = [e for e in events if e["event"] == "dialog"]
            rect = dialogs[-1]["icon_rect"]
            colours[len(dialogs) - 1] = icon_colour(rect) if rect else None

        result = env.run(*args, checkpoint=look, **kwargs)
        for index, colour in colours.items():
            result.dialogs[index]["icon_colour"] = colour
        return result

    def test_confirmation_at_start(self):
        # (answer, exit code, whether the main window then shows)
        cases = [
            ("answer:&Ja", 0, True),
            ("answer-key:enter", 0, True),
            ("answer-key:j", 0, True),
            ("answer:&Nein", 1, False),
            ("answer-key:n", 1, False),
            ("answer-key:esc", 1, False),
            ("answer-close", 1, False),
        ]
        for answer, code, shown in cases:
            with self.subTest(answer):
                env.reset()
                sample = Installation(version="9.3.0.12").lay_out(env)
                then = ["window", "geometry", "close"] if shown else ["wait-exit"]
                result = self.run_with_icons("P2", sample.install_dir,
                                             actions=["dialog", "painted", "checkpoint:icon", answer, *then])
                self.expect_exit(result, code)
                (dialog,) = result.dialogs
                self.check_dialog(dialog, "Bestätigen", V3, ["&Ja", "&Nein"], "&Ja", "blue")
                self.assertEqual(dialog["owner"], "main")
                self.assertTrue(centred_in(dialog["rect"], dialog["screen"]["work_area"]), dialog["rect"])
                first = result.first("exit")
                self.assertEqual(first["main_seen"], shown)
                if shown:
                    self.assertEqual(result.first("geometry")["client"][3], 134, "not the compact window")

    def test_error_dialog_of_a_failing_step(self):
        for program in ("P2", "10"):
            for answer in ("answer:OK", "answer-key:esc"):
                with self.subTest(program=program, answer=answer):
                    env.reset()
                    sample = Installation(user_count="1").lay_out(env)
                    if program == "10":
                        env.set_install_location(sample.install_dir + "\\")
                    result = self.run_with_icons(
                        program, sample.install_dir if program == "P2" else None,
                        actions=[*WAITING[program], "click:Weiter", "dialog", "painted", "checkpoint:icon",
                                 answer, "wait-exit"])
                    self.expect_exit(result, 1)
                    dialog = result.dialogs[-1]
                    self.check_dialog(dialog, "Fehler", USERS_SIGNED_IN, ["OK"], "OK", "red")
                    self.assertEqual(dialog["owner"], "main")
                    self.assertTrue(centred_in(dialog["rect"], dialog["screen"]["work_area"]), dialog["rect"])

    def test_error_raised_in_a_step_keeps_the_window_and_weiter_runs_again(self):
        # A folder where the update record should go makes writing it fail with an error that the
        # chain does not catch.
        for program in ("P2", "10"):
            with self.subTest(program):
                env.reset()
                sample = Installation().lay_out(env)
                env.mkdir(sample.ini_dir + "MVN_9_Update.ini")
                if program == "10":
                    env.set_install_location(sample.install_dir + "\\")
                run = ["click:Weiter", "dialog", "log", "status", "answer:OK"]
                first_run = [*run[:2], "painted", "checkpoint:icon", *run[2:]]
                result = self.run_with_icons(
                    program, sample.install_dir if program == "P2" else None, timeout=20,
                    actions=[*WAITING[program], *first_run, "sync", "geometry", *run, "click:Abbruch"])
                self.expect_exit(result, 1)
                boxes = [d for d in result.dialogs if d["caption"] == ERROR_BOX_CAPTION[program]]
                self.assertEqual(len(boxes), 2, result.describe())
                text = f"In {sample.ini_dir}MVN_9_Update.ini kann nicht geschrieben werden."
                # Only the first box's icon is looked at: under Wine the second one is drawn clipped
                # to the main window's rectangle, so its icon may not be on the screen.
                self.check_dialog(boxes[0], ERROR_BOX_CAPTION[program], text, ["OK"], "OK", "red")
                self.check_dialog(boxes[1], ERROR_BOX_CAPTION[program], text, ["OK"], "OK")
                first, second = result.of("log")
                self.assertEqual(first["lines"], FULL_LOG[program])
                self.assertEqual(second["lines"], FULL_LOG[program] * 2, "the second run must start at step 1")
                self.assertEqual([s["text"] for s in result.of("status")],
                                 ["Sicherung der NKK-Dateien wird erstellt ..."] * 2)
                after = result.first("geometry")
                self.assertTrue(after["flags"]["visible"] and control(after, "log")["visible"])
                if program == "P2":
                    self.assertEqual(after["client"][3], 314)
                else:
                    self.assertEqual(after["rect"][3], 340)


def edges(rect):
    left, top, width, height = rect
    return left, top, left + width, top + height


def docked(control, geometry):
    """The control's rectangle, its top measured from the client's bottom edge for the log and the
    status bar, which are docked there."""
    left, top, width, height = control["rect"]
    if control["class"] != "Button":
        top -= geometry["client"][3]
    return [left, top, width, height]


class HighDpi(Case):
    """At 144 DPI the window and the dialogs keep their designed layout, 1.5 times as large, and
    every text fits its control."""

    def run_at(self, dpi, program):
        env.reset()
        env.set_dpi(dpi)
        result = start(program, "geometry", "click:Weiter", "dialog", "geometry", "answer:OK",
                       sample=Installation(user_count="1"))
        self.expect_exit(result, 1)
        return result

    def assert_scaled(self, large, small, what):
        """Each edge of large lies within a pixel of 1.5 times that edge of small."""
        for edge_large, edge_small in zip(edges(large), edges(small)):
            self.assertLessEqual(abs(edge_large - 1.5 * edge_small), 1, f"{what}: {large} is not 1.5 × {small}")

    def assert_fits(self, control, what):
        needed = control.get("ideal") or control.get("extent")
        self.assertIsNotNone(needed, f"{what}: not measured")
        self.assertLessEqual(needed[0], control["rect"][2], f"{what}: {needed} does not fit {control['rect']}")
        self.assertLessEqual(needed[1], control["rect"][3], f"{what}: {needed} does not fit {control['rect']}")

    def test_window_and_dialogs_scale_by_one_and_a_half(self):
        for program in ("P2", "10"):
            with self.subTest(program):
                designed, large = self.run_at(96, program), self.run_at(144, program)
                for state_96, state in zip(designed.of("geometry"), large.of("geometry")):
                    # MVNUpdater10's heights are outer heights: its client height holds a title bar
                    # that Windows does not scale by the same factor.
                    height_of = "client" if program == "P2" else "rect"
                    self.assert_scaled([0, 0, state["client"][2], state[height_of][3]],
                                       [0, 0, state_96["client"][2], state_96[height_of][3]], "size")
                    for c_96, c in zip(state_96["controls"], state["controls"], strict=True):
                        self.assertEqual(c["class"], c_96["class"])
                        self.assert_scaled(docked(c, state), docked(c_96, state_96), c["class"] + " " + c["text"])
                        if c["class"] == "Button":
                            self.assert_fits(c, c["text"])
                self.assertEqual(len(large.dialogs), len(designed.dialogs))
                for dialog_96, dialog in zip(designed.dialogs, large.dialogs):
                    caption = dialog["caption"]
                    buttons_96 = [c for c in dialog_96["controls"] if c["class"] == "Button"]
                    buttons = [c for c in dialog["controls"] if c["class"] == "Button"]
                    # The buttons keep their distance to the client's right and bottom edges.
                    for b_96, b in zip(buttons_96, buttons, strict=True):
                        self.assert_scaled([b["rect"][0] - dialog["client_size"][0],
                                            b["rect"][1] - dialog["client_size"][1], *b["rect"][2:]],
                                           [b_96["rect"][0] - dialog_96["client_size"][0],
                                            b_96["rect"][1] - dialog_96["client_size"][1], *b_96["rect"][2:]],
                                           f"{caption}: {b['text']}")
                    icon_96, icon = ([c for c in d["controls"] if c["class"] == "Static" and "extent" not in c][0]
                                     for d in (dialog_96, dialog))
                    self.assert_scaled(icon["rect"][:2] + [0, 0], icon_96["rect"][:2] + [0, 0], f"{caption}: icon")
                    for c in dialog["controls"]:
                        if c["class"] == "Button" or "extent" in c:
                            self.assert_fits(c, f"{caption}: {c['text']!r}")


class NothingToUpdate(Case):
    def test_p2_without_executable_ends_with_0_and_shows_nothing(self):
        sample = Installation(executable=False)
        for label, args in (("directory without Morvane9.EXE", sample.install_dir), ("no arguments", None)):
            with self.subTest(label):
                env.reset()
                sample.lay_out(env)
                result = env.run("P2", args, actions=["wait-exit"])
                self.expect_exit(result, 0)
                self.assertEqual(result.first("exit")["windows_seen"], [])


if __name__ == "__main__":
    unittest.main()
