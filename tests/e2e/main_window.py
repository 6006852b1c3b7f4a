"""Drives the main window through the accessibility tree, as a screen reader would.

The program starts with an empty data folder, so it opens in service mode. The test removes rows,
types the panels' addresses in the address dialog (including a duplicate and an impossible
address, which are refused), renames a unit, leaves service mode and waits for the rows to come
alive from the simulated panels, drives the unit windows, their editors and the archive, sets up
mail in the options dialog against a local server (with start at log-on, the diagnostic mode and trend
recording), finds an alarm in the event history, watches the chart window grow and exports from both,
then goes through the service menu and exits. The single-unit run at the end is started by the
log-on entry that the options wrote; a last run is killed while it records trends.
"""
import csv
import datetime
import json
import os
import re
import shlex
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time

import pyatspi

PROGRAM = os.environ["KVU_E2E_PROGRAM"]
DATA = os.environ["KVU_E2E_DATA"]
BLOCK = os.environ["KVU_E2E_BLOCK"]
SHOTS = os.environ.get("KVU_E2E_SHOTS", "")
LOG = os.environ["KVU_E2E_LOG"]
SIMLOG = os.environ["KVU_E2E_SIMLOG"]
SMTP_PORT = os.environ["KVU_E2E_SMTP_PORT"]
INBOX = os.environ["KVU_E2E_INBOX"]
CAPTION = "Klimavox KVU ver. 1.02.03"


class Failure(Exception):
    pass


def wait_for(what, probe, timeout=15.0):
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = probe()
        except Exception as e:  # the tree changes under our feet while windows open and close
            last = e
        if last and not isinstance(last, Exception):
            return last
        time.sleep(0.1)
    raise Failure(f"timed out waiting for {what} (last: {last!r})")


def application():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == "klimavox_kvu":
            return app
    return None


def find(root, name=None, role=None, showing=None):
    def match(acc):
        if acc is None:
            return False
        if name is not None and acc.name != name:
            return False
        if role is not None and acc.getRoleName() != role:
            return False
        if showing is not None and acc.getState().contains(pyatspi.STATE_SHOWING) != showing:
            return False
        return True

    return pyatspi.findDescendant(root, match)


def top(name, role=None):
    app = application()
    if app is None:
        return None
    for window in app:
        if window is not None and window.name == name and (role is None or window.getRoleName() == role):
            if window.getState().contains(pyatspi.STATE_SHOWING):
                return window
    return None


def control(window, name, role=None):
    return wait_for(name, lambda: find(window, name=name, role=role, showing=True))


def clickable(window, name):
    """The control of that name that can be pressed (a label may carry the same text)."""
    def probe():
        for acc in pyatspi.findAllDescendants(window, lambda a: a is not None and a.name == name):
            if not acc.getState().contains(pyatspi.STATE_SHOWING):
                continue
            try:
                action = acc.queryAction()
            except NotImplementedError:
                continue
            names = [action.getName(k) for k in range(action.nActions)]
            for k, n in enumerate(names):
                if n in ("Press", "Toggle", "press", "toggle", "click"):
                    return acc, k
        return None

    return wait_for(name, probe)


def press(window, name):
    acc, k = clickable(window, name)
    acc.queryAction().doAction(k)
    return acc


def description(window, name):
    acc = find(window, name=name)
    return acc.description if acc is not None else None


def expect_description(window, name, text, timeout=15.0):
    wait_for(f"{name} to read {text!r}", lambda: description(window, name) == text, timeout)


def extents(window):
    box = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return box.width, box.height


def expect_size(window, size):
    wait_for(f"window size {size}", lambda: extents(window) == size)


DOWN, UP, ENTER, ESCAPE, END, HOME = 0xFF54, 0xFF52, 0xFF0D, 0xFF1B, 0xFF57, 0xFF50
LEFT, PLUS = 0xFF51, 0x2B


def key(keysym):
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)


def window_geometry(title):
    info = subprocess.run(["xwininfo", "-name", title], capture_output=True, text=True, check=True).stdout
    value = {}
    for line in info.splitlines():
        line = line.strip()
        for field in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            if line.startswith(field + ":"):
                value[field] = int(line.split(":")[1])
    return (value["Absolute upper-left X"], value["Absolute upper-left Y"], value["Width"], value["Height"])


def screenshot(name, extra_width=0, extra_height=0, title=CAPTION):
    """A window (the main one unless titled otherwise) as the operator sees it, with any dialog or
    menu over it."""
    if not SHOTS:
        return
    os.makedirs(SHOTS, exist_ok=True)
    x, y, w, h = window_geometry(title)
    time.sleep(0.3)  # the last repaint reaches the screen
    subprocess.run(["import", "-window", "root", "-crop", f"{w + extra_width}x{h + extra_height}+{x}+{y}",
                    "+repage", os.path.join(SHOTS, name + ".png")], check=True)


def popup_shown():
    """A popup menu of the program is on the screen (popups are not in the accessibility tree
    as windows; a screen reader follows them by focus)."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    for line in tree.splitlines():
        parts = line.split()
        if len(parts) > 2 and parts[1] == '"klimavox_kvu":' and "1x1+" not in line:
            state = subprocess.run(["xwininfo", "-id", parts[0]], capture_output=True, text=True).stdout
            if "IsViewable" in state:
                return True
    return False


def menu_item(keys, shot=None):
    """Opens the service menu from its button and takes an item with the keyboard."""
    press(main_window(), "Меню")
    wait_for("service menu", popup_shown)
    if shot:
        screenshot(shot, extra_width=100, extra_height=40)
    for k in keys:
        key(k)


def fill_address(dialog, octets, password=None):
    fields = [control(dialog, f"IP адрес, число {k}") for k in range(1, 5)]
    for field, value in zip(fields, octets):
        field.queryEditableText().setTextContents(str(value))
    if password is not None:
        control(dialog, "Пароль").queryEditableText().setTextContents(str(password))


def message_box(what):
    """The message box on top of the address dialog (QMessageBox shows as an alert)."""
    def probe():
        for window in application():
            if window is not None and window.getRoleName() == "alert" and \
                    window.getState().contains(pyatspi.STATE_SHOWING):
                return window
        return None

    return wait_for(f"message box ({what})", probe)


def texts(root):
    return " ".join(a.name for a in pyatspi.findAllDescendants(root, lambda a: a.getRoleName() == "label"))


def set_address(main, unit, octets, expect_refusal=None, shot=None):
    press(main, f"IP адрес вентустановки №{unit}")
    dialog = wait_for("address dialog", lambda: top("Настройки", "dialog"))
    fill_address(dialog, octets)
    if shot:
        screenshot(shot)
    press(dialog, "ОК")
    if expect_refusal:
        box = message_box(expect_refusal)
        text = texts(box)
        if expect_refusal not in text:
            raise Failure(f"refusal should mention {expect_refusal!r}: {text!r}")
        key(ENTER)  # Enter closes the box; the address dialog stays open
        wait_for("box closed", lambda: not box.getState().contains(pyatspi.STATE_SHOWING))
        if top("Настройки", "dialog") is None:
            raise Failure("the address dialog closed after a refused address")
        key(ESCAPE)  # Escape cancels the dialog, storing nothing
        wait_for("dialog closed", lambda: top("Настройки", "dialog") is None)
        return
    wait_for("dialog closed", lambda: top("Настройки", "dialog") is None)
    expect_description(main, f"IP адрес вентустановки №{unit}", "IP " + ".".join(map(str, octets)))


def simulator(command):
    """One line to the simulator's control channel; gives its answer."""
    with open(SIMLOG) as f:
        port = next(int(line.split()[2]) for line in f if line.startswith("panel-sim control "))
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(command.encode() + b"\n")
        return s.makefile().readline().strip()


def windows():
    app = application()
    return [(w.getRoleName(), w.name, w.getState().contains(pyatspi.STATE_SHOWING)) for w in app] if app else None


def dialog(title):
    return wait_for(title, lambda: top(title, "dialog"))


def closed(title):
    wait_for(f"{title} closed", lambda: top(title, "dialog") is None)


def editor_value(solo, area):
    """Opens the set-point editor from a unit window area and reads its value (the unit's target)."""
    press(solo, area)
    editor = dialog("Задание параметров")
    value = int(wait_for("value", lambda: find(editor, name="Значение").description))
    key(ESCAPE)
    closed("Задание параметров")
    return value


def unit_windows(main):
    """A unit window from its row: every editor changes the simulated panel, and the change comes back
    in the panel's status replies."""
    title = "Управление вентустановкой №2"
    press(main, "Окно вентустановки №2")
    solo = wait_for("unit window 2", lambda: top(title) or Exception(repr(windows())))
    expect_size(solo, (472, 360))
    wait_for("live values", lambda: description(solo, "Температура: задать") not in ("", None), timeout=20)

    # Temperature target: one step up, Enter; the editor opened again starts at the new target.
    start = editor_value(solo, "Температура: задать")
    press(solo, "Температура: задать")
    editor = dialog("Задание параметров")
    step = DOWN if start >= 30 else UP
    key(step)
    expect_description(editor, "Значение", str(start + (1 if step == UP else -1)))
    screenshot("solo-setpoint", title=title)
    key(ENTER)
    closed("Задание параметров")
    wanted = start + (1 if step == UP else -1)
    wait_for("the new target from the panel", lambda: editor_value(solo, "Температура: задать") == wanted)

    # Operating mode: the unit window's mode picture follows the panel.
    simulator("panel 2 power on")
    wait_for("unit 2 running", lambda: description(solo, "Режим работы") not in ("", None, "отключено"))
    before = description(solo, "Режим работы")
    press(solo, "Режим работы")
    mode = dialog("Режим работы вентустановки №2")
    screenshot("mode", title="Режим работы вентустановки №2")
    press(mode, "Обогрев" if before != "обогрев" else "Отключено")
    key(ESCAPE)
    closed("Режим работы вентустановки №2")
    wait_for("the new mode from the panel",
             lambda: description(solo, "Режим работы") != before)

    # Scenario 5 started from the scenario window runs on the panel.
    simulator("panel 2 set scenallow on")
    press(solo, "Сценарии")
    scen = dialog("Сценарии")
    press(scen, "Запустить сценарий 5")
    screenshot("scenarios", title="Сценарии")
    key(ESCAPE)
    closed("Сценарии")
    expect_description(solo, "Сценарии", "активен сценарий 5")

    # Panel clock: set wrong at the panel, then set from the computer.
    simulator("panel 2 set clock 2025-03-05T14:07:09")
    wait_for("the wrong date", lambda: "05.03.25" in (description(solo, "Часы пульта: установить") or ""))
    press(solo, "Часы пульта: установить")
    clock = dialog("Установка даты и времени")
    screenshot("clock", title="Установка даты и времени")
    press(clock, "Да")
    closed("Установка даты и времени")
    today = datetime.date.today().strftime("%d.%m.%y")
    wait_for("today's date from the panel", lambda: today in (description(solo, "Часы пульта: установить") or ""))
    screenshot("solo", title=title)

    # Unit 1 has VAV zones: its fan area opens the zone window, whose rows fill from the panel.
    press(main, "Окно вентустановки №1")
    solo1 = wait_for("unit window 1", lambda: top("Управление вентустановкой №1 (Приток цех 1)"))
    wait_for("unit 1 answering", lambda: description(solo1, "Вентилятор: задать скорость") not in ("", None),
             timeout=20)
    press(solo1, "Вентилятор: задать скорость")
    vav = dialog("Задание расхода воздуха VAV")
    wait_for("zone rows", lambda: find(vav, name="Зона 1, задание", showing=True), timeout=20)
    time.sleep(4)  # a full page of zones has been read
    screenshot("vav", title="Задание расхода воздуха VAV")
    key(ESCAPE)
    closed("Задание расхода воздуха VAV")

    # The window menu closes a unit window; the row's status text opens and closes it too.
    press(solo1, "Меню окна")
    wait_for("window menu", popup_shown)
    key(UP)
    key(ENTER)
    wait_for("unit window 1 closed", lambda: top("Управление вентустановкой №1 (Приток цех 1)") is None)
    press(main, "Окно вентустановки №2")
    wait_for("unit window 2 closed", lambda: top(title) is None)


def archive_window(main, unit):
    """The row menu's "Архивация": a right click on the row's status text, then Down and Enter."""
    box = control(main, f"Окно вентустановки №{unit}").queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b3c")
    wait_for("row menu", popup_shown)
    key(DOWN)
    key(ENTER)
    return dialog(f"Архивирование данных для вентустановки №{unit}")


def result(window, text):
    wait_for(f"result {text!r}", lambda: text in window.description or Exception(window.description), timeout=30)


def archive(main):
    """Panel 1's configuration saved to a file and restored into panel 2, confirmed at the panel."""
    window = archive_window(main, 1)
    press(window, "Сохранить данные пульта в архив")
    prompt = dialog("Имя файла")
    wait_for("name field", lambda: find(prompt, role="text")).queryEditableText().setTextContents("panel1")
    key(ENTER)
    result(window, "Данные успешно сохранены")
    screenshot("archive", title="Архивирование данных для вентустановки №1")
    press(window, "Выход")
    closed("Архивирование данных для вентустановки №1")
    folder = os.path.join(DATA, "archdata")
    files = [f for f in os.listdir(folder) if f.startswith("panel1_") and f.endswith(".kvx")]
    if len(files) != 1:
        raise Failure(f"archive folder holds {os.listdir(folder)}")

    window = archive_window(main, 2)
    press(window, "Восстановить данные пульта из архива")
    chooser = dialog("Выбор файла архива")

    def name_field():
        for acc in pyatspi.findAllDescendants(chooser, lambda a: a is not None and a.getRoleName() == "text"):
            if acc.getState().contains(pyatspi.STATE_EDITABLE) and acc.getState().contains(pyatspi.STATE_SHOWING):
                return acc
        return None

    wait_for("file name field", name_field).queryEditableText().setTextContents(os.path.join(folder, files[0]))
    screenshot("restore-file", title="Выбор файла архива")
    key(ENTER)
    closed("Выбор файла архива")
    result(window, "Подтвердите восстановление на пульте")
    simulator("panel 2 restore confirm")
    result(window, "Данные успешно восстановлены")
    screenshot("restore", title="Архивирование данных для вентустановки №2")
    press(window, "Выход")
    closed("Архивирование данных для вентустановки №2")
    if simulator("panel 1 get config") != simulator("panel 2 get config"):
        raise Failure("panel 2 does not hold panel 1's configuration after the restore")


def click_at(acc):
    """A left click in the middle of a control, as the mouse does it."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, pyatspi.MOUSE_B1C)


def protocol_lines(diag):
    log = control(diag, "Протокол обмена")
    text = log.queryText()
    return text.getText(0, text.characterCount).splitlines()


def polls(diag):
    return sum(1 for line in protocol_lines(diag) if " > " in line)


def wheel(acc, button, turns):
    """Turns of the mouse wheel over a control (button 4 up, 5 down)."""
    box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    for _ in range(turns):
        pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, f"b{button}c")
        time.sleep(0.05)


def manual_with_mouse(help_window, manual):
    """Scrolls the manual by the wheel, back to the top, and follows a link of its contents."""
    def vertical(acc):
        if acc is None or acc.getRoleName() != "scroll bar" or not acc.getState().contains(pyatspi.STATE_SHOWING):
            return False
        box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.height > box.width

    bar = wait_for("the manual's scroll bar", lambda: pyatspi.findDescendant(help_window, vertical))
    position = lambda: bar.queryValue().currentValue
    wheel(manual, 5, 3)
    wait_for("the manual scrolled down", lambda: position() > 0)
    wheel(manual, 4, 30)
    wait_for("the manual back at the top", lambda: position() == 0)
    text = manual.queryText()
    contents = text.getText(0, -1)
    entry = "Журнал событий"
    start = contents.find(entry)
    if start < 0:
        raise Failure("the manual's contents lack " + entry)
    box = text.getCharacterExtents(start + len(entry) // 2, pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box[0] + box[2] // 2, box[1] + box[3] // 2, pyatspi.MOUSE_B1C)
    wait_for("the manual at the linked section", lambda: position() > 0)


def options(main):
    """The options dialog: mail settings for the local server, a test mail that arrives, the manual
    from "Справка", the hidden diagnostic switch, and saving; then the diagnostic window shows the
    protocol live and its button stops and resumes polling."""
    # The menu pictured before the diagnostic window opens over the main window.
    menu_item([DOWN, DOWN, ENTER], shot="menu")
    opts = dialog("Параметры программы")
    # On Linux a combo box is named by its current entry; its label names it through a relation.
    servers = wait_for("server list", lambda: find(opts, role="combo box", showing=True))
    click_at(servers)
    time.sleep(0.5)  # the list drops down
    key(END)
    key(ENTER)
    wait_for("server entry \"Другой\"", lambda: servers.name == "Другой")
    fields = {
        "Адрес сервера": "127.0.0.1",
        "Порт": SMTP_PORT,
        "Адрес исходящей почты": "kvu@demo.local",
        "Логин": "kvu@demo.local",
        "Пароль": "demo",
        "Адрес получателя": "operator@demo.local",
        "Имя (произвольное)": "Котельная",
    }
    for name, value in fields.items():
        role = "password text" if name == "Пароль" else "text"
        control(opts, name, role=role).queryEditableText().setTextContents(value)
    press(opts, "Отправлять уведомления по e-mail в случае:")
    wait_for("notice boxes enabled", lambda: find(opts, name="потери связи", role="check box").getState().contains(
        pyatspi.STATE_SENSITIVE))
    press(opts, "Запускать программу при входе в систему")
    # Trends every minute, so that the chart window sees its curves grow during the run.
    press(opts, "Записывать графики")
    control(opts, "Интервал записи графиков, минут", role="text").queryEditableText().setTextContents("1")
    screenshot("options", title="Параметры программы")

    press(opts, "Отправить тестовое письмо")
    summary = os.path.join(INBOX, "msg-1.json")
    wait_for("the test mail at the server", lambda: os.path.exists(summary), timeout=30)
    with open(summary, encoding="utf-8") as f:
        mail = json.load(f)
    if mail["rcpt_tos"] != ["operator@demo.local"] or mail["auth_login"] != "kvu@demo.local":
        raise Failure(f"unexpected test mail: {mail!r}")

    press(opts, "Справка")
    help_window = wait_for("help window", lambda: top("Справка"))
    manual = control(help_window, "Руководство оператора")
    wait_for("the manual", lambda: "Главное окно" in manual.queryText().getText(0, -1))
    screenshot("help", title="Справка")
    # The options dialog is modal and stays open: the manual must still take the mouse, so it is
    # driven by real wheel turns and clicks, not by accessibility actions, which no dialog blocks.
    manual_with_mouse(help_window, manual)
    click_at(control(help_window, "Закрыть", role="push button"))
    wait_for("help closed", lambda: top("Справка") is None)
    if top("Параметры программы") is None:
        raise Failure("the options dialog closed with the help window")

    # Six clicks on the heading switch the diagnostic mode on.
    heading = control(opts, "Общие настройки", role="label")
    for _ in range(6):
        click_at(heading)
        time.sleep(0.15)
    control(opts, "Test Mode")
    diag = wait_for("diagnostic window", lambda: top("Окно диагностики"))

    press(opts, "Сохранить и закрыть")
    closed("Параметры программы")
    with open(os.path.join(DATA, "klimavox_kvu.ini"), encoding="utf-8") as f:
        ini = f.read()
    for key_text in ("MailServer=127.0.0.1", f"MailPort={SMTP_PORT}", "MailLogin=kvu@demo.local", "IsTest=1",
                     "IsMailActive=1", "ProgramName=Котельная", "iMailServer=4", "IsSaveGraph=1",
                     "IntervalRecGraph=1"):
        if key_text not in ini:
            raise Failure(f"settings file lacks {key_text!r}:\n{ini}")
    if autostart_command() != [PROGRAM, "--data-dir", DATA]:
        raise Failure(f"unexpected start at log-on: {autostart_command()!r}")

    # The protocol grows with every poll; the pause button stops polling and starts it again.
    first = polls(diag)
    wait_for("requests in the protocol", lambda: polls(diag) > first + 3)
    if not any(" = " in line for line in protocol_lines(diag)):
        raise Failure("no replies in the protocol")
    screenshot("diagnostic", title="FormTest")
    press(diag, "Остановить или возобновить опрос")
    time.sleep(1.0)  # a request already under way may still be logged
    paused = polls(diag)
    time.sleep(2.5)  # more than three ticks of the poll cycle
    if polls(diag) != paused:
        raise Failure("requests went on while polling was paused")
    press(diag, "Остановить или возобновить опрос")
    wait_for("polling resumed", lambda: polls(diag) > paused + 3)


def labelled(window, label, role):
    """The control that a label names through its relation, as a screen reader reads a field."""
    def probe():
        for acc in pyatspi.findAllDescendants(window, lambda a: a is not None and a.getRoleName() == role):
            for relation in acc.getRelationSet():
                if relation.getRelationType() != pyatspi.RELATION_LABELLED_BY:
                    continue
                if any(relation.getTarget(k).name == label for k in range(relation.getNTargets())):
                    return acc
        return None

    return wait_for(f"{role} labelled {label!r}", probe)


def choose(combo, steps, entry):
    """Takes an entry of a combo box from its drop-down list: Home, then Down so many times, Enter."""
    click_at(combo)
    wait_for("drop-down list", popup_shown)
    key(HOME)
    for _ in range(steps):
        key(DOWN)
    key(ENTER)
    wait_for(f"combo box entry {entry!r}", lambda: combo.name == entry or Exception(combo.name))


def table_rows(table):
    """The cells of a table view, row by row, through the table interface."""
    cells = table.queryTable()
    return [[cells.getAccessibleAt(r, c).name for c in range(cells.nColumns)] for r in range(cells.nRows)]


def is_alarm(row):
    """An alarm or warning line: its event code, or the error marker in its last field."""
    return row[0] in ("1", "2") or row[11].startswith("#ERR#")


def history_viewer(main):
    """An alarm raised and cleared on panel 3 is found in "Журнал событий" by unit and kind, and the
    filtered lines exported as CSV read back in a spreadsheet's way with their Cyrillic text."""
    unit = 3
    simulator(f"panel {unit} alarm 2A")
    wait_for("the alarm in the row", lambda: "Авария" in (description(main, f"Окно вентустановки №{unit}") or ""),
             timeout=20)
    simulator(f"panel {unit} alarm off")
    wait_for("the alarm cleared in the row",
             lambda: "Авария" not in (description(main, f"Окно вентустановки №{unit}") or "Авария"), timeout=20)

    menu_item([DOWN, DOWN, DOWN, ENTER])
    window = wait_for("history window", lambda: top("Журнал событий"))
    table = control(window, "События", role="table")
    count = control(window, "Число записей")
    wait_for("the files read", lambda: table.queryTable().nRows > 0 and "Показано" in count.description
             or Exception(count.description), timeout=30)
    headers = [table.queryTable().getColumnDescription(c) for c in range(table.queryTable().nColumns)]
    if headers != ["Код", "Время", "Установка", "Событие", "Состояние", "Режим", "Скорость", "Температура",
                   "Влажность", "Сценарий", "Сообщение", "Ошибка"]:
        raise Failure(f"unexpected column headers: {headers!r}")
    everything = table_rows(table)
    expected = [row for row in everything if row[2] == str(unit) and is_alarm(row)]
    # The alarm is written once while it lasts, and its end writes no alarm line.
    if [row[3] for row in expected if row[11] == f"#ERR#{unit}#2A"] != ["Авария"]:
        raise Failure(f"not one alarm line of unit {unit} among {everything!r}")
    if len(expected) == len(everything):
        raise Failure("only alarm lines of the unit were read; the filter would show nothing")

    choose(labelled(window, "Установка:", "combo box"), unit, str(unit))
    choose(labelled(window, "Вид:", "combo box"), 2, "Авария")
    wait_for("only the unit's alarms", lambda: table_rows(table) == expected or Exception(table_rows(table)))

    # The search field, applied with Enter: a text found nowhere empties the table, the panel's
    # message in other letter case brings the alarm lines back.
    search = labelled(window, "Поиск:", "text")
    for text, rows in (("нет такого текста", []),
                       ("требуется ПРОВЕРКА", [r for r in expected if "требуется проверка" in r[10]])):
        search.queryEditableText().setTextContents(text)
        search.queryComponent().grabFocus()
        wait_for("focus in the search field", lambda: search.getState().contains(pyatspi.STATE_FOCUSED))
        key(ENTER)
        wait_for(f"lines found by {text!r}", lambda: table_rows(table) == rows or Exception(table_rows(table)))
    if not any("требуется проверка" in row[10] for row in expected):
        raise Failure(f"the alarm lines lack the panel's message: {expected!r}")
    screenshot("history-alarms", title="Журнал событий")
    shown = table_rows(table)

    rows = export_csv(window, "Экспорт в CSV", "Экспорт в CSV", "журнал аварий.csv")
    # What the table shows, Cyrillic headings and texts intact.
    if rows != [headers] + shown:
        raise Failure(f"the CSV file holds {rows!r}, the table {[headers] + shown!r}")

    key(ESCAPE)
    wait_for("history window closed", lambda: top("Журнал событий") is None)


def editable_text(root):
    """The first editable text field showing under root, such as a file dialog's name field. A file
    dialog's empty file list gives no accessible for its cells: the walk skips them."""
    todo = [root]
    while todo:
        acc = todo.pop()
        state = acc.getState()
        if acc.getRoleName() == "text" and state.contains(pyatspi.STATE_EDITABLE) and \
                state.contains(pyatspi.STATE_SHOWING):
            return acc
        todo.extend(child for child in acc if child is not None)
    return None


def export_csv(window, button, dialog_title, name):
    """Saves a CSV through the window's button and Qt's file dialog (a Cyrillic file name typed in), and
    reads it back as a spreadsheet with Russian settings does: UTF-8 with its byte order mark, ";"."""
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, name)
        press(window, button)
        chooser = dialog(dialog_title)
        wait_for("file name field", lambda: editable_text(chooser)).queryEditableText().setTextContents(path)
        key(ENTER)
        closed(dialog_title)
        wait_for("the CSV file", lambda: os.path.exists(path))
        with open(path, "rb") as f:
            if not f.read(3) == b"\xef\xbb\xbf":
                raise Failure(f"{name} does not start with the UTF-8 byte order mark")
        with open(path, encoding="utf-8-sig", newline="") as f:
            return list(csv.reader(f, delimiter=";"))


def chart_state(view):
    """The chart's own account for a screen reader: the sample count, the last sample and the times shown."""
    m = re.match(r"Значений: (\d+); последнее: (\S+ \S+); показано с (\S+ \S+) по (\S+ \S+)$",
                 view.description or "")
    if not m:
        return None
    when = [datetime.datetime.strptime(m.group(k), "%d.%m.%Y %H:%M") for k in (2, 3, 4)]
    return int(m.group(1)), when[0], when[2] - when[1]


def charts(main):
    """"Графики" over a day of earlier history for the three units: the curves grow by the samples the
    program records every minute, the chart zooms and moves from its buttons and keys, and the values
    shown are exported as CSV that a spreadsheet reads with its Cyrillic headings."""
    # A day of simulated history up to a few minutes ago, beside what the program records itself.
    fill = os.path.join(os.path.dirname(os.path.dirname(PROGRAM)), "tools", "trend-fill", "trend-fill")
    end = (datetime.datetime.now() - datetime.timedelta(minutes=3)).strftime("%Y-%m-%dT%H:%M")
    subprocess.run([fill, "--db", os.path.join(DATA, "trends.sqlite"), "--units", "3", "--days", "1",
                    "--end", end], check=True, capture_output=True)

    menu_item([DOWN, DOWN, DOWN, DOWN, ENTER])
    window = wait_for("chart window", lambda: top("Графики"))
    view = control(window, "График")
    count, last, shown = wait_for("the samples read", lambda: chart_state(view) or Exception(view.description),
                                  timeout=30)
    if count < 1000 or shown != datetime.timedelta(days=1):
        raise Failure(f"unexpected chart after opening: {view.description!r}")

    # New samples join while the window is open, and the view follows them.
    wait_for("a sample recorded while the chart is open", lambda: chart_state(view)[1] > last, timeout=90)
    newest = chart_state(view)[1]
    if datetime.datetime.now() - newest > datetime.timedelta(minutes=2):
        raise Failure(f"the newest sample is not the one just recorded: {view.description!r}")

    # Zoom in with the button and the "+" key, move back with the arrow key, and Home shows the day again.
    press(window, "Увеличить")
    wait_for("zoomed in", lambda: chart_state(view)[2] == datetime.timedelta(hours=12))
    view.queryComponent().grabFocus()
    wait_for("focus on the chart", lambda: view.getState().contains(pyatspi.STATE_FOCUSED))
    key(PLUS)
    wait_for("zoomed in by key", lambda: chart_state(view)[2] == datetime.timedelta(hours=6))
    key(LEFT)
    key(HOME)
    wait_for("the whole day again", lambda: chart_state(view)[2] == datetime.timedelta(days=1))

    choose(labelled(window, "Вентустановка:", "combo box"), 1, "№1 Приток цех 1")
    alone = wait_for("unit 1 alone", lambda: chart_state(view))[0]
    # The pointer over the chart shows the values under it.
    box = view.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    pyatspi.Registry.generateMouseEvent(box.x + box.width * 2 // 3, box.y + box.height // 2, "abs")
    values = control(window, "Значения под курсором")
    wait_for("the values under the pointer",
             lambda: "№1 Приток цех 1: температура" in values.description or Exception(values.description))
    screenshot("charts", title="Графики")
    choose(labelled(window, "Вентустановка:", "combo box"), 0, "Все")
    wait_for("all units again", lambda: chart_state(view) and chart_state(view)[0] > alone)

    rows = export_csv(window, "Сохранить CSV", "Сохранить значения", "графики за сутки.csv")
    samples = chart_state(view)[0]
    if rows[0] != ["Время", "Вентустановка", "Температура, °C", "Уставка, °C", "Влажность, %", "Скорость",
                   "Работа", "Авария"]:
        raise Failure(f"unexpected CSV heading {rows[0]!r}")
    # Every sample shown; one recorded since the export may be missing from the file.
    if not samples - 3 <= len(rows) - 1 <= samples or {r[1] for r in rows[1:]} != {"1", "2", "3"}:
        raise Failure(f"the CSV holds {len(rows) - 1} samples of units {sorted({r[1] for r in rows[1:]})}, "
                      f"the chart {samples}")
    if {r[6] for r in rows[1:]} - {"вкл", "выкл"} or {r[7] for r in rows[1:]} - {"да", "нет"}:
        raise Failure(f"unexpected on/off or alarm texts in {rows[1:4]!r}")

    key(ESCAPE)
    wait_for("chart window closed", lambda: top("Графики") is None)


def autostart_command():
    """The command of the log-on start entry that saving the options wrote, named by the program name."""
    path = os.path.join(os.environ["XDG_CONFIG_HOME"], "autostart", "Котельная.desktop")
    with open(path, encoding="utf-8") as f:
        line = next(line for line in f if line.startswith("Exec="))
    return shlex.split(line[len("Exec="):].strip())


def single_unit():
    """With one unit the program is its unit window: no main window, and "Выход" in its menu ends
    the program."""
    path = os.path.join(DATA, "klimavox_kvu.ini")
    with open(path, encoding="utf-8") as f:
        ini = f.read().replace("nAHU=3", "nAHU=1")
    with open(path, "w", encoding="utf-8") as f:
        f.write(ini)
    # Started as the desktop starts it at log-on.
    program = start_program("a", autostart_command())
    try:
        title = "Управление вентустановкой \"Приток цех 1\""
        solo = wait_for("the unit window as the program's window", lambda: top(title), timeout=30)
        wait_for("no main window", lambda: top(CAPTION, "frame") is None)
        control(solo, "Режим работы")
        press(solo, "Меню окна")
        wait_for("window menu", popup_shown)
        key(UP)
        key(ENTER)
        status = program.wait(timeout=15)
        if status != 0:
            raise Failure(f"the single-unit program ended with {status}")
    except BaseException:
        program.kill()
        raise


def trend_samples():
    """The trend file's row count and newest time, read as any other program would read it."""
    db = sqlite3.connect(os.path.join(DATA, "trends.sqlite"), timeout=5)
    try:
        return db.execute("SELECT count(*), max(time_ms) FROM sample").fetchone()
    finally:
        db.close()


def killed_while_recording():
    """The program killed outright while it records leaves a trend file that opens whole, with every
    sample it had written."""
    program = start_program("a")
    try:
        before = trend_samples()
        after = wait_for("a sample recorded", lambda: trend_samples()[1] > before[1] and trend_samples(), timeout=90)
        program.kill()
        program.wait(timeout=15)
    except BaseException:
        program.kill()
        raise
    db = sqlite3.connect(os.path.join(DATA, "trends.sqlite"))
    try:
        check = db.execute("PRAGMA integrity_check").fetchone()[0]
        count, newest = db.execute("SELECT count(*), max(time_ms) FROM sample").fetchone()
    finally:
        db.close()
    if check != "ok" or count < after[0] or newest < after[1]:
        raise Failure(f"the trend file after the kill: {check!r}, {count} rows up to {newest}; "
                      f"before the kill {after[0]} rows up to {after[1]}")


def start_program(log_mode, command=None):
    """Starts the program; a start that could not reach the display (seen once on a loaded machine
    while the virtual display was coming up) is tried again after a pause."""
    for attempt in range(3):
        with open(LOG, log_mode) as log:
            program = subprocess.Popen(command or [PROGRAM, "--data-dir", DATA], stdout=log, stderr=subprocess.STDOUT)
        try:
            program.wait(timeout=2)
        except subprocess.TimeoutExpired:
            return program
        with open(LOG) as log:
            if "could not connect to display" not in log.read():
                return program
        print(f"the program could not reach the display (attempt {attempt + 1}); trying again", file=sys.stderr)
        log_mode = "a"
        time.sleep(2)
    return program


def main():
    program = start_program("w")
    try:
        run(program)
    except BaseException:
        program.kill()
        raise


def main_window():
    def probe():
        window = top(CAPTION, "frame")
        if window is None:
            app = application()
            return Exception("windows: " + repr([(w.getRoleName(), w.name, w.getState().contains(pyatspi.STATE_SHOWING)) for w in app] if app else None))
        return window

    return wait_for("main window", probe, timeout=30)


def run(program):
    main = main_window()

    # The caption is exactly the program's own, with nothing appended.
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    if f'"{CAPTION}"' not in tree:
        raise Failure("caption not found as is in the window list:\n" + tree)

    # No address yet: service mode with five rows, none with an address.
    control(main, "Выйти из сервисного режима")
    expect_description(main, "Число вентустановок", "5")
    expect_size(main, (1018, 386))
    expect_description(main, "IP адрес вентустановки №1", "IP не задан")

    press(main, "Убрать вентустановку")
    expect_description(main, "Число вентустановок", "4")
    press(main, "Убрать вентустановку")
    expect_description(main, "Число вентустановок", "3")
    if find(main, name="IP адрес вентустановки №4", showing=True) is not None:
        raise Failure("row 4 still shows after removing it")
    screenshot("service-empty")

    first, second, third = ([int(x) for x in BLOCK.split(".")] + [k] for k in (1, 2, 3))
    set_address(main, 1, first)
    set_address(main, 2, first, expect_refusal="№1")
    set_address(main, 2, [300] + second[1:], expect_refusal="255")
    set_address(main, 2, second)
    set_address(main, 3, third, shot="address-dialog")

    press(main, "Название вентустановки №1")
    box = wait_for("name box", lambda: top("Название №1", "dialog"))
    wait_for("name field", lambda: find(box, role="text")).queryEditableText().setTextContents("Приток цех 1")
    key(ENTER)
    expect_description(main, "Название вентустановки №1", "Приток цех 1")
    screenshot("service")

    # Leaving service mode: three rows, and they come alive from the panels.
    press(main, "Выйти из сервисного режима")
    control(main, "Меню")
    expect_size(main, (1018, 701 - 7 * 63))
    for unit in (1, 2, 3):
        wait_for(f"row {unit} alive",
                 lambda: description(main, f"Включить или выключить вентустановку №{unit}") not in ("", None),
                 timeout=20)
    screenshot("normal")

    # The temperature editor from the row (panel 1 of the simulator has VAV zones, panel 2 not), by keyboard: Up steps, Escape closes sending nothing,
    # Enter confirms.
    press(main, "Скорость и температура вентустановки №2")
    editor = wait_for("set-point editor", lambda: top("Задание параметров", "dialog"))
    control(editor, "Температура для вентуст. №2")
    start = int(wait_for("value", lambda: find(editor, name="Значение").description))
    key(UP)
    expect_description(editor, "Значение", str(start + 1))
    screenshot("setpoint")
    key(ESCAPE)
    wait_for("editor closed", lambda: top("Задание параметров", "dialog") is None)

    unit_windows(main)
    archive(main)
    options(main)
    history_viewer(main)
    charts(main)

    # The service menu by keyboard: the first item enters service mode, the last one ends the program.
    press(main, "Меню")
    wait_for("service menu", popup_shown)
    key(DOWN)
    key(ENTER)
    control(main, "Выйти из сервисного режима")
    expect_size(main, (1018, 386))
    press(main, "Выйти из сервисного режима")
    control(main, "Меню")

    menu_item([UP, ENTER])
    status = program.wait(timeout=15)
    if status != 0:
        raise Failure(f"the program ended with {status}")

    with open(os.path.join(DATA, "klimavox_kvu.ini"), encoding="utf-8") as f:
        ini = f.read()
    for key_text in ("nAHU=3", f"IPInt4_3={third[3]}", "NameAHU1=Приток цех 1", "IsRun=0"):
        if key_text not in ini:
            raise Failure(f"settings file lacks {key_text!r}:\n{ini}")
    single_unit()
    killed_while_recording()
    print("main window and unit windows end-to-end: ok")


if __name__ == "__main__":
    try:
        main()
    except Failure as e:
        print(f"FAILED: {e}", file=sys.stderr)
        sys.exit(1)
