// Stand-ins for the input subsystem (see input_seams.h). Input "starts" without
// devices: no key is ever down. The character ring is real, as the window procedure
// feeds it; nothing reads it until the input subsystem lands.
#include "library/input/input_seams.h"

#include "library/core/message_pump.h"

namespace {
enum { CharRingSize = 1025 };
unsigned char charRing[CharRingSize];
int charRead = 0;
int charWrite = 0;
}  // namespace

int SetupDirectInput(void) { return 0; }
int ShutdownDirectInput(void) { return 0; }

int InitCharCodeBuffer(void) {
    charRead = charWrite = 0;
    return 0;
}

int ProcessTextEntry(void) { return 0; }
int UpdatePadEffectTimers(void) { return 0; }

int CheckCharCodeRoom(void) {
    return !(charWrite + 1 == charRead || (charRead == 0 && charWrite == CharRingSize - 1));
}

int PushCharCode(int code) {
    if (!CheckCharCodeRoom()) return -1;
    charRing[charWrite] = static_cast<unsigned char>(code);
    charWrite = (charWrite + 1) % CharRingSize;
    return 0;
}

// For the tests until the input subsystem offers its own reader: the next code or -1.
int PopCharCodeForTests(void) {
    if (charRead == charWrite) return -1;
    int code = charRing[charRead];
    charRead = (charRead + 1) % CharRingSize;
    return code;
}

LRESULT HandleImeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}
int ReacquireInputDevices(void) { return 0; }
int ApplyPadEffectStates(void) { return 0; }
int SetInputMessageFlag1(void) { return 0; }
int ClearInputMessageFlag1(void) { return 0; }
int SetInputMessageFlag2(void) { return 0; }
int ClearInputMessageFlag2(void) { return 0; }
int DeleteAllTextEntryHandles(void) { return 0; }
int StartImeRestoreIfWasInUse(void) { return 0; }
int CheckKeyDownCore(int) {
    WaitWhileInactive();
    return 0;
}
