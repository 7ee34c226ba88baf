// The system-information log. See sysinfo.h.
#include "library/core/sysinfo.h"

#include <cstring>

#include "library/core/format.h"
#include "library/core/log.h"
#include "library/core/system_state.h"
#include "library/core/text.h"
#include "library/core/version.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/cpu.h"
#include "platform/kernel/kernel.h"

int LookupOsNameAndCode(uint32_t platformId, uint32_t major, uint32_t minor, const char* servicePack,
                        char suffix[16], int32_t* osCode) {
    const char* name = nullptr;
    const char* extra = "";
    int32_t code = 0;
    const char first = servicePack != nullptr ? servicePack[0] : '\0';
    switch (platformId) {
        case VER_PLATFORM_WIN32s:
            name = "3.1";
            code = 0;
            break;
        case VER_PLATFORM_WIN32_WINDOWS:
            if (minor == 0) {
                name = "95", extra = first == 'C' ? "OSR2" : "", code = 1;
            } else if (minor == 10) {
                name = "98", extra = first == 'A' ? "SE" : "", code = 2;
            } else if (minor == 90) {
                name = "Me", code = 3;
            }
            break;
        case VER_PLATFORM_WIN32_NT:
            if (major == 3) {
                name = "NT 3.51", code = 0x104;
            } else if (major == 4) {
                name = "4.0", code = 0x105;
            } else if (major == 5 && minor == 0) {
                name = "2000", code = 0x106;
            } else if (major == 5 && minor == 1) {
                name = "XP", code = 0x107;
            } else if (major == 6) {
                name = "Vista", code = OsCodeWindowsVista;
            }
            break;
    }
    suffix[0] = '\0';
    if (name == nullptr) return 0;
    CopyTextBounded(suffix, 16, name);
    AppendTextBounded(suffix, 16, extra);
    *osCode = code;
    return 1;
}

static void LogOs(SystemDescription& head) {
    WriteLogText("ＯＳ  ");
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    GetVersionExA(&version);
    char suffix[16];
    LookupOsNameAndCode(version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion,
                        version.szCSDVersion, suffix, &head.osCode);
    char name[32];
    FormatText(name, sizeof(name), "Windows%s", suffix);
    FormatText(head.osText, sizeof(head.osText), "%s ( Build %d %s )", name, int(version.dwBuildNumber),
               version.szCSDVersion);
    WriteLogFormat("%s", head.osText);
}

static void ReadProcessor(SystemDescription& head) {
    head.cpuidAvailable = IsCpuidAvailable();
    if (!head.cpuidAvailable) return;
    uint32_t regs[4];
    ExecuteCpuid(0, regs);
    std::memcpy(head.processorVendor + 0, &regs[1], 4);  // EBX
    std::memcpy(head.processorVendor + 4, &regs[3], 4);  // EDX
    std::memcpy(head.processorVendor + 8, &regs[2], 4);  // ECX
    head.processorVendor[12] = '\0';
    ExecuteCpuid(1, regs);
    head.hasTimeStampCounter = (regs[3] >> 4) & 1u;
    const int mmx = (regs[3] >> 23) & 1u;
    ExecuteCpuid(0x80000000u, regs);
    if (regs[0] >= 0x80000004u) {
        for (uint32_t i = 0; i < 3; i++) {
            ExecuteCpuid(0x80000002u + i, regs);
            std::memcpy(head.processorName + 16 * i, regs, 16);
        }
        head.processorName[48] = '\0';
    }
    head.mmxInUse = mmx;
}

// Counts time-stamp ticks over at least 100 ms of the millisecond clock.
static void MeasureProcessorClock(SystemDescription& head) {
    uint64_t before = ReadTimeStampCounter();
    const DWORD start = timeGetTime();
    while (timeGetTime() - start < 100) {
    }
    uint64_t ticks = ReadTimeStampCounter() - before;
    head.processorMHz = static_cast<int32_t>(double(ticks) * 0.00001);
    head.processorFrequency = ticks * 10u;
    WriteLogFormat("ＣＰＵ動作速度：大体%.2fGHz", double(head.processorMHz) * 0.001);
}

int LogSystemInfo(void) {
    SystemDescription& head = SystemStateRecord.head;
    WriteLogText("システムの情報を出力します\n");
    IncLogIndent();
    WriteLogFormat("ＺＱライブラリ Ver%s", LibraryVersionText);
    LogOs(head);
    head.directXVersion = 0x70000;

    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof(caps));
    head.timerPeriodMin = caps.wPeriodMin;
    timeBeginPeriod(caps.wPeriodMin);

    head.mmxInUse = 0;
    head.processorName[0] = '\0';
    ReadProcessor(head);
    if (head.hasTimeStampCounter) MeasureProcessorClock(head);

    if (!head.cpuidAvailable) {
        WriteLogText("ＣＰＵＩＤ命令は使えません\n");
    } else if (!head.mmxInUse) {
        WriteLogText("ＭＭＸは使えません\n");
    } else {
        WriteLogText("ＭＭＸ命令を使用します\n");
    }
    if (head.cpuidAvailable) {
        WriteLogFormat("ＣＰＵベンダ：%s", head.processorVendor);
        if (head.processorName[0] != '\0') WriteLogFormat("ＣＰＵ名：%s", head.processorName);
    }
    DecLogIndent();
    return 0;
}
