// zphauto: acts as the user of another program's windows, from a console,
// inside the same Wine prefix. One command per run; results on stdout, one
// fact per line; texts as hexadecimal bytes of the ANSI code page, so that a
// Japanese text reaches the caller byte for byte. Exit code 0 on success, 1
// on a timeout or failure (with a message on stderr), 2 on a usage error.
//
// Every message that crosses into the other process is either posted or sent
// with a timeout: a button whose handler runs a modal loop (the About box,
// the Save As dialog) would otherwise hold this process until it closes.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

const int MAX_CONDITIONS = 8;
const UINT SEND_TIMEOUT_MS = 5000;
const DWORD POLL_MS = 10;

// The ids the dialog manager and the common dialogs use.
const int STATIC_TEXT_ID = 0xFFFF;     // message box text
const int FILE_NAME_EDIT_ID = 0x480;   // edt1, Explorer-style file name edit
const int FILE_NAME_COMBO_ID = 0x47C;  // cmb13, the same as a combo box

struct Selector {
    const char* title;
    const char* titlePrefix;
    const char* className;
    int has[MAX_CONDITIONS];
    int hasCount;
    int lacks[MAX_CONDITIONS];
    int lacksCount;
    int includeHidden;
};

struct Options {
    Selector window;
    double timeoutSeconds;
    double forSeconds;
    int announce;
    int press;
    const char* overwrite;  // null, "yes" or "no"
    const char* positional[8];
    int positionalCount;
};

int Fail(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    fputs("zphauto: ", stderr);
    vfprintf(stderr, format, args);
    fputc('\n', stderr);
    va_end(args);
    return 1;
}

void PrintHex(const char* bytes, int count)
{
    for (int i = 0; i < count; i++) printf("%02x", (unsigned char)bytes[i]);
}

void PrintTextLine(const char* label, const char* bytes, int count)
{
    printf("%s ", label);
    PrintHex(bytes, count);
    printf("\n");
}

ULONGLONG Now()
{
    return GetTickCount64();
}

ULONGLONG Deadline(double seconds)
{
    return Now() + (ULONGLONG)(seconds * 1000.0);
}

int ParseId(const char* text, int* id)
{
    char* end = nullptr;
    const long value = strtol(text, &end, 0);
    if (end == text || *end != '\0') return 0;
    *id = (int)value;
    return 1;
}

// WM_GETTEXT rather than GetWindowText: for a window of another process
// GetWindowText does not ask the window but reads the caption the system
// keeps, and an edit control keeps its text in its own buffer instead.
int ReadControlText(HWND control, char* out, int capacity)
{
    DWORD_PTR copied = 0;
    out[0] = '\0';
    if (!SendMessageTimeoutA(control, WM_GETTEXT, (WPARAM)capacity, (LPARAM)out, SMTO_ABORTIFHUNG,
                             SEND_TIMEOUT_MS, &copied)) {
        return -1;
    }
    if ((int)copied >= capacity) copied = (DWORD_PTR)(capacity - 1);
    out[copied] = '\0';
    return (int)copied;
}

int SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, SEND_TIMEOUT_MS, &answer)) {
        return 0;
    }
    if (result != nullptr) *result = (LRESULT)answer;
    return 1;
}

int Matches(HWND window, const Selector& s)
{
    if (!s.includeHidden && !IsWindowVisible(window)) return 0;
    if (s.title != nullptr) {
        char title[512];
        GetWindowTextA(window, title, sizeof title);
        if (strcmp(title, s.title) != 0) return 0;
    }
    if (s.titlePrefix != nullptr) {
        char title[512];
        GetWindowTextA(window, title, sizeof title);
        if (strncmp(title, s.titlePrefix, strlen(s.titlePrefix)) != 0) return 0;
    }
    if (s.className != nullptr) {
        char name[256];
        GetClassNameA(window, name, sizeof name);
        if (strcmp(name, s.className) != 0) return 0;
    }
    for (int i = 0; i < s.hasCount; i++) {
        if (GetDlgItem(window, s.has[i]) == nullptr) return 0;
    }
    for (int i = 0; i < s.lacksCount; i++) {
        if (GetDlgItem(window, s.lacks[i]) != nullptr) return 0;
    }
    return 1;
}

struct FindState {
    const Selector* selector;
    HWND owner;  // when set, only windows owned by it
    HWND found;
};

BOOL CALLBACK FindCallback(HWND window, LPARAM context)
{
    FindState* state = (FindState*)context;
    if (state->owner != nullptr && GetWindow(window, GW_OWNER) != state->owner) return TRUE;
    if (!Matches(window, *state->selector)) return TRUE;
    state->found = window;
    return FALSE;
}

HWND FindTopLevel(const Selector& s, HWND owner = nullptr)
{
    FindState state = {&s, owner, nullptr};
    EnumWindows(FindCallback, (LPARAM)&state);
    return state.found;
}

HWND WaitForWindow(const Selector& s, double timeoutSeconds, HWND owner = nullptr)
{
    const ULONGLONG deadline = Deadline(timeoutSeconds);
    for (;;) {
        HWND window = FindTopLevel(s, owner);
        if (window != nullptr) return window;
        if (Now() >= deadline) return nullptr;
        Sleep(POLL_MS);
    }
}

void DescribeSelector(const Selector& s, char* out, int capacity)
{
    int n = snprintf(out, (size_t)capacity, "window");
    if (s.title != nullptr) n += snprintf(out + n, (size_t)(capacity - n), " titled \"%s\"", s.title);
    if (s.titlePrefix != nullptr && n < capacity) {
        n += snprintf(out + n, (size_t)(capacity - n), " with a title starting \"%s\"", s.titlePrefix);
    }
    if (s.className != nullptr && n < capacity) n += snprintf(out + n, (size_t)(capacity - n), " of class %s", s.className);
    for (int i = 0; i < s.hasCount && n < capacity; i++) n += snprintf(out + n, (size_t)(capacity - n), " with control %d", s.has[i]);
    for (int i = 0; i < s.lacksCount && n < capacity; i++) n += snprintf(out + n, (size_t)(capacity - n), " without control %d", s.lacks[i]);
}

HWND RequireWindow(const Options& o)
{
    HWND window = WaitForWindow(o.window, o.timeoutSeconds);
    if (window == nullptr) {
        char what[512];
        DescribeSelector(o.window, what, sizeof what);
        Fail("timed out after %.1f s waiting for a %s", o.timeoutSeconds, what);
    }
    return window;
}

// A window that owns a modal dialog or message box is disabled until that
// closes; a click or key meant for it must wait, as a user would.
HWND RequireEnabledWindow(const Options& o)
{
    HWND window = RequireWindow(o);
    if (window == nullptr) return nullptr;
    const ULONGLONG deadline = Deadline(o.timeoutSeconds);
    while (!IsWindowEnabled(window)) {
        if (!IsWindow(window)) {
            Fail("the window closed while waiting for it to be enabled");
            return nullptr;
        }
        if (Now() >= deadline) {
            Fail("the window is still disabled after %.1f s (a modal window is open)", o.timeoutSeconds);
            return nullptr;
        }
        Sleep(POLL_MS);
    }
    return window;
}

void PrintWindowLine(HWND window)
{
    RECT r;
    GetWindowRect(window, &r);
    char title[512];
    const int length = GetWindowTextA(window, title, sizeof title);
    char name[256];
    GetClassNameA(window, name, sizeof name);
    printf("window 0x%llx %ld %ld %ld %ld %s ", (unsigned long long)(ULONG_PTR)window, r.left, r.top, r.right,
           r.bottom, name);
    PrintHex(title, length);
    printf("\n");
}

int IsButtonClass(HWND control)
{
    char name[64];
    GetClassNameA(control, name, sizeof name);
    return lstrcmpiA(name, "Button") == 0;
}

void PrintControlLine(HWND control, int depth)
{
    char name[64];
    GetClassNameA(control, name, sizeof name);
    RECT r;
    GetWindowRect(control, &r);
    LRESULT checked = 0;
    if (IsButtonClass(control)) SendWithTimeout(control, BM_GETCHECK, 0, 0, &checked);
    char text[1024];
    int length = ReadControlText(control, text, sizeof text);
    if (length < 0) length = 0;
    printf("control %u %s depth=%d enabled=%d visible=%d checked=%d rect=%ld,%ld,%ld,%ld text=",
           (unsigned)(GetDlgCtrlID(control) & 0xFFFF), name, depth, IsWindowEnabled(control) ? 1 : 0,
           IsWindowVisible(control) ? 1 : 0, (int)checked, r.left, r.top, r.right, r.bottom);
    PrintHex(text, length);
    printf("\n");
}

void DumpChildren(HWND parent, int depth)
{
    for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        PrintControlLine(child, depth);
        DumpChildren(child, depth + 1);
    }
}

HWND RequireControl(HWND window, const char* idText)
{
    int id = 0;
    if (!ParseId(idText, &id)) {
        Fail("not a control id: %s", idText);
        return nullptr;
    }
    HWND control = GetDlgItem(window, id);
    if (control == nullptr) Fail("the window has no control %d", id);
    return control;
}

void PostClick(HWND button)
{
    // A posted BM_CLICK runs the button's own press and release, so the
    // parent gets BN_CLICKED exactly as from the mouse, and an auto check box
    // toggles itself.
    PostMessageA(button, BM_CLICK, 0, 0);
}

HWND FocusedIn(HWND window)
{
    GUITHREADINFO info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (!GetGUIThreadInfo(thread, &info)) return nullptr;
    HWND focus = info.hwndFocus;
    if (focus != nullptr && (focus == window || IsChild(window, focus))) return focus;
    return nullptr;
}

void PostKey(HWND window, WPARAM key, UINT scanCode)
{
    // The dialog manager looks at WM_KEYDOWN in the dialog's own message
    // loop (IsDialogMessage) and turns Esc into IDCANCEL and Enter into the
    // default button; it accepts the message for the dialog or any of its
    // controls, so without a focused control the dialog itself gets it.
    HWND target = FocusedIn(window);
    if (target == nullptr) target = window;
    const LPARAM down = (LPARAM)(1 | (scanCode << 16));
    const LPARAM up = (LPARAM)(1 | (scanCode << 16) | 0xC0000000u);
    PostMessageA(target, WM_KEYDOWN, key, down);
    PostMessageA(target, WM_KEYUP, key, up);
}

// ---- commands -------------------------------------------------------------

int CommandWait(const Options& o)
{
    if (o.announce) {
        printf("ready\n");
        fflush(stdout);
    }
    HWND window = RequireWindow(o);
    if (window == nullptr) return 1;
    PrintWindowLine(window);
    return 0;
}

int CommandAbsent(const Options& o)
{
    const ULONGLONG deadline = Deadline(o.forSeconds);
    do {
        HWND window = FindTopLevel(o.window);
        if (window != nullptr) {
            PrintWindowLine(window);
            char what[512];
            DescribeSelector(o.window, what, sizeof what);
            return Fail("a %s is shown", what);
        }
        Sleep(POLL_MS);
    } while (Now() < deadline);
    printf("absent\n");
    return 0;
}

int CommandGone(const Options& o)
{
    const ULONGLONG deadline = Deadline(o.timeoutSeconds);
    for (;;) {
        HWND window = FindTopLevel(o.window);
        if (window == nullptr) {
            printf("gone\n");
            return 0;
        }
        if (Now() >= deadline) {
            PrintWindowLine(window);
            return Fail("the window is still there after %.1f s", o.timeoutSeconds);
        }
        Sleep(POLL_MS);
    }
}

int CommandDump(const Options& o)
{
    HWND window = RequireWindow(o);
    if (window == nullptr) return 1;
    PrintWindowLine(window);
    DumpChildren(window, 1);
    return 0;
}

int CommandText(const Options& o)
{
    if (o.positionalCount != 1) return 2;
    HWND window = RequireWindow(o);
    if (window == nullptr) return 1;
    HWND control = RequireControl(window, o.positional[0]);
    if (control == nullptr) return 1;
    char text[1024];
    const int length = ReadControlText(control, text, sizeof text);
    if (length < 0) return Fail("control %s did not answer WM_GETTEXT", o.positional[0]);
    PrintTextLine("text", text, length);
    return 0;
}

int CommandState(const Options& o)
{
    if (o.positionalCount != 1) return 2;
    HWND window = RequireWindow(o);
    if (window == nullptr) return 1;
    int id = 0;
    if (!ParseId(o.positional[0], &id)) return 2;
    HWND control = GetDlgItem(window, id);
    if (control == nullptr) {
        printf("state exists=0 enabled=0 visible=0 checked=0\n");
        return 0;
    }
    LRESULT checked = 0;
    if (IsButtonClass(control)) SendWithTimeout(control, BM_GETCHECK, 0, 0, &checked);
    printf("state exists=1 enabled=%d visible=%d checked=%d\n", IsWindowEnabled(control) ? 1 : 0,
           IsWindowVisible(control) ? 1 : 0, (int)checked);
    return 0;
}

int CommandClick(const Options& o)
{
    if (o.positionalCount != 1) return 2;
    HWND window = RequireEnabledWindow(o);
    if (window == nullptr) return 1;
    HWND button = RequireControl(window, o.positional[0]);
    if (button == nullptr) return 1;
    if (!IsWindowEnabled(button)) return Fail("control %s is disabled", o.positional[0]);
    PostClick(button);
    printf("clicked\n");
    return 0;
}

int CommandKey(const Options& o)
{
    if (o.positionalCount != 1) return 2;
    WPARAM key;
    UINT scan;
    if (strcmp(o.positional[0], "esc") == 0) {
        key = VK_ESCAPE;
        scan = 0x01;
    } else if (strcmp(o.positional[0], "enter") == 0) {
        key = VK_RETURN;
        scan = 0x1C;
    } else {
        return Fail("unknown key %s (esc or enter)", o.positional[0]);
    }
    HWND window = RequireEnabledWindow(o);
    if (window == nullptr) return 1;
    PostKey(window, key, scan);
    printf("pressed\n");
    return 0;
}

int CommandSelect(const Options& o)
{
    if (o.positionalCount != 2) return 2;
    int index = 0;
    if (!ParseId(o.positional[1], &index)) return 2;
    HWND window = RequireEnabledWindow(o);
    if (window == nullptr) return 1;
    HWND combo = RequireControl(window, o.positional[0]);
    if (combo == nullptr) return 1;
    LRESULT result = 0;
    if (!SendWithTimeout(combo, CB_SETCURSEL, (WPARAM)index, 0, &result)) return Fail("CB_SETCURSEL timed out");
    if (result == CB_ERR) return Fail("combo box %s has no entry %d", o.positional[0], index);
    // CB_SETCURSEL itself notifies nobody; a selection by the user sends the
    // parent CBN_SELCHANGE.
    const int id = GetDlgCtrlID(combo);
    PostMessageA(GetParent(combo), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
    printf("selected %d\n", index);
    return 0;
}

int PrintMessageBox(HWND box)
{
    char caption[512];
    const int captionLength = GetWindowTextA(box, caption, sizeof caption);
    PrintTextLine("caption", caption, captionLength);
    HWND textControl = GetDlgItem(box, STATIC_TEXT_ID);
    char text[2048];
    int length = textControl != nullptr ? ReadControlText(textControl, text, sizeof text) : -1;
    if (length < 0) return Fail("the message box has no readable text");
    PrintTextLine("text", text, length);
    return 0;
}

int CommandMessageBox(const Options& o)
{
    Selector s = o.window;
    if (s.className == nullptr) s.className = "#32770";
    Options local = o;
    local.window = s;
    HWND box = RequireWindow(local);
    if (box == nullptr) return 1;
    if (PrintMessageBox(box)) return 1;
    const int press = o.press != 0 ? o.press : IDOK;
    HWND button = GetDlgItem(box, press);
    if (button == nullptr) return Fail("the message box has no button %d", press);
    PostClick(button);
    printf("pressed %d\n", press);
    return 0;
}

int CommandClose(const Options& o)
{
    HWND window = RequireWindow(o);
    if (window == nullptr) return 1;
    PostMessageA(window, WM_CLOSE, 0, 0);
    printf("closed\n");
    return 0;
}

BOOL CALLBACK FindEditCallback(HWND window, LPARAM context)
{
    char name[64];
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, "Edit") != 0) return TRUE;
    *(HWND*)context = window;
    return FALSE;
}

HWND FindFileNameEdit(HWND dialog)
{
    HWND edit = GetDlgItem(dialog, FILE_NAME_EDIT_ID);
    if (edit != nullptr) return edit;
    // Wine's Explorer-style dialog nests the edit two levels deep:
    // ComboBoxEx32 (cmb13), then its ComboBox, then the Edit.
    HWND combo = GetDlgItem(dialog, FILE_NAME_COMBO_ID);
    if (combo == nullptr) return nullptr;
    edit = nullptr;
    EnumChildWindows(combo, FindEditCallback, (LPARAM)&edit);
    return edit;
}

// Leaves the program where it was before Save Info: the question answered,
// then the dialog cancelled once the question has gone.
void AnswerAndCancel(HWND question, int answer, HWND dialog, double timeoutSeconds)
{
    PostClick(GetDlgItem(question, answer));
    const ULONGLONG deadline = Deadline(timeoutSeconds);
    while (IsWindow(question) && IsWindowVisible(question) && Now() < deadline) Sleep(POLL_MS);
    PostClick(GetDlgItem(dialog, IDCANCEL));
}

int CommandSaveAs(const Options& o)
{
    if (o.positionalCount != 1) return 2;
    const char* path = o.positional[0];
    Selector s = o.window;
    if (s.title == nullptr) s.title = "Save Info";
    if (s.className == nullptr) s.className = "#32770";
    Options local = o;
    local.window = s;
    HWND dialog = RequireWindow(local);
    if (dialog == nullptr) return 1;

    // The dialog fills its controls after it appears; wait for the name edit.
    HWND edit = nullptr;
    const ULONGLONG editDeadline = Deadline(o.timeoutSeconds);
    while ((edit = FindFileNameEdit(dialog)) == nullptr && Now() < editDeadline) Sleep(POLL_MS);
    if (edit == nullptr) return Fail("the Save As dialog has no file name edit");
    HWND saveButton = GetDlgItem(dialog, IDOK);
    if (saveButton == nullptr) return Fail("the Save As dialog has no Save button");

    char initial[1024];
    const int initialLength = ReadControlText(edit, initial, sizeof initial);
    if (initialLength >= 0) PrintTextLine("initial", initial, initialLength);
    if (!SendWithTimeout(edit, WM_SETTEXT, 0, (LPARAM)path, nullptr)) return Fail("WM_SETTEXT timed out");
    char check[1024];
    if (ReadControlText(edit, check, sizeof check) < 0 || strcmp(check, path) != 0) {
        return Fail("the file name edit did not take the path");
    }
    PostClick(saveButton);
    printf("pressed save\n");

    // The overwrite question and any refusal are message boxes owned by the dialog.
    Selector anyOwned = {};
    anyOwned.className = "#32770";
    const ULONGLONG deadline = Deadline(o.timeoutSeconds);
    for (;;) {
        if (!IsWindow(dialog) || !IsWindowVisible(dialog)) {
            printf("saved\n");
            return 0;
        }
        HWND question = FindTopLevel(anyOwned, dialog);
        if (question != nullptr) {
            printf("question\n");
            if (PrintMessageBox(question)) return 1;
            const int yes = GetDlgItem(question, IDYES) != nullptr;
            if (!yes) {
                AnswerAndCancel(question, IDOK, dialog, o.timeoutSeconds);
                return Fail("the Save As dialog refused the name; cancelled it");
            }
            if (o.overwrite == nullptr) {
                AnswerAndCancel(question, IDNO, dialog, o.timeoutSeconds);
                return Fail("unexpected overwrite confirmation; answered No and cancelled");
            }
            const int answerYes = strcmp(o.overwrite, "yes") == 0;
            PostClick(GetDlgItem(question, answerYes ? IDYES : IDNO));
            printf("answered %s\n", answerYes ? "yes" : "no");
            if (!answerYes) {
                // The dialog stays open for another name; the caller decides.
                const ULONGLONG gone = Deadline(o.timeoutSeconds);
                while (FindTopLevel(anyOwned, dialog) != nullptr && Now() < gone) Sleep(POLL_MS);
                printf("kept open\n");
                return 0;
            }
            // A Yes answer closes the question before the dialog; wait for both.
            const ULONGLONG gone = Deadline(o.timeoutSeconds);
            while (IsWindow(question) && IsWindowVisible(question) && Now() < gone) Sleep(POLL_MS);
        }
        if (Now() >= deadline) return Fail("the Save As dialog did not close after %.1f s", o.timeoutSeconds);
        Sleep(POLL_MS);
    }
}

BOOL CALLBACK ListCallback(HWND window, LPARAM)
{
    if (IsWindowVisible(window)) PrintWindowLine(window);
    return TRUE;
}

int CommandList(const Options&)
{
    EnumWindows(ListCallback, 0);
    return 0;
}

int CommandVersion(const Options&)
{
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return Fail("GetVersionExA failed");
    printf("version %lu %lu %lu %lu ", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
           info.dwPlatformId);
    PrintHex(info.szCSDVersion, (int)strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    printf("\n");
    return 0;
}

int CommandLocale(const Options&)
{
    printf("locale 0x%04x %u\n", (unsigned)GetSystemDefaultLangID(), GetACP());
    return 0;
}

int CommandProfileInt(const Options& o)
{
    if (o.positionalCount != 4) return 2;
    int defaultValue = 0;
    if (!ParseId(o.positional[2], &defaultValue)) return 2;
    const UINT value = GetPrivateProfileIntA(o.positional[0], o.positional[1], defaultValue, o.positional[3]);
    printf("profile-int %d\n", (int)value);
    return 0;
}

int CommandCwd(const Options&)
{
    char directory[4096];
    const DWORD length = GetCurrentDirectoryA(sizeof directory, directory);
    if (length == 0 || length >= sizeof directory) return Fail("GetCurrentDirectoryA failed");
    PrintTextLine("cwd", directory, (int)length);
    return 0;
}

int CommandDrives(const Options&)
{
    printf("drives");
    for (char letter = 'A'; letter <= 'Z'; letter++) {
        const char root[4] = {letter, ':', '\\', '\0'};
        printf(" %c=%u", letter, GetDriveTypeA(root));
    }
    printf("\n");
    return 0;
}

struct Command {
    const char* name;
    int (*run)(const Options&);
};

const Command commands[] = {
    {"wait", CommandWait},
    {"absent", CommandAbsent},
    {"gone", CommandGone},
    {"dump", CommandDump},
    {"text", CommandText},
    {"state", CommandState},
    {"click", CommandClick},
    {"key", CommandKey},
    {"select", CommandSelect},
    {"msgbox", CommandMessageBox},
    {"saveas", CommandSaveAs},
    {"close", CommandClose},
    {"list", CommandList},
    {"version", CommandVersion},
    {"locale", CommandLocale},
    {"profile-int", CommandProfileInt},
    {"cwd", CommandCwd},
    {"drives", CommandDrives},
};

const char usage[] =
    "usage: zphauto COMMAND [options] [arguments]\n"
    "window options: --title T --title-prefix T --class C --has ID --lacks ID --hidden --timeout SECONDS\n"
    "  wait [--announce]      wait for the window, print its handle and rectangle\n"
    "  absent --for SECONDS   succeed when no such window shows meanwhile\n"
    "  gone                   wait until no such window is left\n"
    "  dump                   print the window and all its controls\n"
    "  text ID                print the text of control ID\n"
    "  state ID               print whether control ID exists, is enabled, is checked\n"
    "  click ID               press button ID\n"
    "  key esc|enter          press the key in the window\n"
    "  select ID INDEX        pick entry INDEX of combo box ID\n"
    "  msgbox [--press ID]    print a message box's caption and text, press OK (or ID)\n"
    "  saveas PATH [--overwrite yes|no]  fill in the Save As dialog and press Save\n"
    "  close                  ask the window to close (WM_CLOSE)\n"
    "  list | version | locale | cwd | drives | profile-int SECTION KEY DEFAULT FILE\n";

int ParseOptions(int argc, char** argv, Options* o)
{
    ZeroMemory(o, sizeof *o);
    o->timeoutSeconds = 15.0;
    o->forSeconds = 3.0;
    for (int i = 2; i < argc; i++) {
        const char* a = argv[i];
        const int hasValue = i + 1 < argc;
        if (strcmp(a, "--title") == 0 && hasValue) {
            o->window.title = argv[++i];
        } else if (strcmp(a, "--title-prefix") == 0 && hasValue) {
            o->window.titlePrefix = argv[++i];
        } else if (strcmp(a, "--class") == 0 && hasValue) {
            o->window.className = argv[++i];
        } else if ((strcmp(a, "--has") == 0 || strcmp(a, "--lacks") == 0) && hasValue) {
            const int has = a[2] == 'h';
            int* list = has ? o->window.has : o->window.lacks;
            int* count = has ? &o->window.hasCount : &o->window.lacksCount;
            if (*count == MAX_CONDITIONS || !ParseId(argv[++i], &list[*count])) return 0;
            (*count)++;
        } else if (strcmp(a, "--hidden") == 0) {
            o->window.includeHidden = 1;
        } else if (strcmp(a, "--timeout") == 0 && hasValue) {
            o->timeoutSeconds = atof(argv[++i]);
        } else if (strcmp(a, "--for") == 0 && hasValue) {
            o->forSeconds = atof(argv[++i]);
        } else if (strcmp(a, "--announce") == 0) {
            o->announce = 1;
        } else if (strcmp(a, "--press") == 0 && hasValue) {
            if (!ParseId(argv[++i], &o->press)) return 0;
        } else if (strcmp(a, "--overwrite") == 0 && hasValue) {
            o->overwrite = argv[++i];
            if (strcmp(o->overwrite, "yes") != 0 && strcmp(o->overwrite, "no") != 0) return 0;
        } else if (a[0] == '-' && a[1] == '-') {
            return 0;
        } else {
            if (o->positionalCount == 8) return 0;
            o->positional[o->positionalCount++] = a;
        }
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    // Binary stdout: the caller reads exact lines, without CR added.
    _setmode(_fileno(stdout), _O_BINARY);
    setvbuf(stdout, nullptr, _IONBF, 0);
    Options options;
    if (argc < 2 || !ParseOptions(argc, argv, &options)) {
        fputs(usage, stderr);
        return 2;
    }
    for (const Command& c : commands) {
        if (strcmp(c.name, argv[1]) != 0) continue;
        const int result = c.run(options);
        if (result == 2) fputs(usage, stderr);
        return result;
    }
    fputs(usage, stderr);
    return 2;
}
