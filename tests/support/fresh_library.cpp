// Start values of the library's global records and the platform's test seams, put back
// before each test. See fresh_library.h.
//
// A global record added to the library gets a line in KeptRecords (or, where its start
// value is made by a routine, in ReturnLibraryToStartValues).
#include "support/fresh_library.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

#include "library/core/handle_table.h"
#include "library/core/random.h"
#include "library/core/system_state.h"
#include "library/core/zqlib.h"
#include "library/d3d/d3d_internal.h"
#include "library/display/screen_state.h"
#include "library/display/screen_surface_draw.h"
#include "library/display/screen_surfaces.h"
#include "library/display/surface2d.h"
#include "library/display/surface_data.h"
#include "library/file/archive.h"
#include "library/file/file_backend.h"
#include "library/font/font.h"
#include "library/graph/camera.h"
#include "library/graph/draw_state.h"
#include "library/graph/graph_handles.h"
#include "library/graph/graph_manager.h"
#include "library/graph/mask_screen.h"
#include "library/graph/movie.h"
#include "library/input/char_input.h"
#include "library/input/input_state.h"
#include "library/network/http.h"
#include "library/network/network_state.h"
#include "library/sound/sound_internal.h"
#include "platform/window/desktop.h"
#include "platform/testing.h"
#include "platform/window/window.h"

namespace {

// A record's bytes as the process started with them.
struct KeptRecord {
    void* record;
    size_t size;
    std::vector<unsigned char> start;
};

std::vector<KeptRecord>& KeptRecords() {
    static std::vector<KeptRecord> kept;
    return kept;
}

template <typename T>
void Keep(T& record) {
    static_assert(std::is_trivially_copyable_v<T>, "kept records are copied as bytes");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    KeptRecords().push_back({&record, sizeof record, std::vector<unsigned char>(bytes, bytes + sizeof record)});
}

// Handle tables hold records in slot arrays of their own: what a test left there is
// freed and the table starts again at slot 0 with check number 0.
HandleTable* const HandleTables[] = {&GraphTable,      &MovieTable,     &FontHandleTable,
                                     &Surface2DTable,  &SurfaceDataTable, &Surface3DTable};

// Process settings tests change: the working directory and these variables.
std::string StartDirectory;
const char* const KeptVariables[] = {"XDG_RUNTIME_DIR", "TMPDIR", "TZ", "SDL_AUDIODRIVER", "SDL_VIDEODRIVER"};
struct KeptVariable {
    bool set;
    std::string value;
};
KeptVariable StartVariables[std::size(KeptVariables)];

bool LibraryLeftRunning() {
    const SystemState& s = SystemStateRecord;
    return s.life.libraryInitialised || s.life.startUpRunning || s.life.startUpComplete ||
           IsWindow(s.window.mainWindow) || s.window.pumpThread != nullptr || g_Screen.directDraw != nullptr ||
           IsGraphManagerStarted() || InputStateRecord.directInput != nullptr ||
           SoundDeviceStateRecord.directSound != nullptr || NetWorkStateRecord.started;
}

// The library's own shutdown ends what is running; a window handle a test made up is
// not a window to close.
void EndWhatIsRunning() {
    SystemState& s = SystemStateRecord;
    if (!LibraryLeftRunning()) return;
    if (!IsWindow(s.window.mainWindow)) s.window.mainWindow = nullptr;
    ShutdownLibrary();
}

void ReturnSystemStateToStart() {
    SystemState& s = SystemStateRecord;
    s.head = SystemDescription{};
    s.settings = SystemSettings{};
    s.window = SystemWindowState{};
    s.mode = SystemModeState{};
    s.menu = SystemMenuState{};
    ClearSystemLifeCycle();
    s.timing = SystemTiming{};
    s.startDirectory[0] = '\0';
    s.log = LogState{};
    s.onScreenLog = OnScreenLogState{};
    // The allocator keeps its list (blocks a test still holds stay valid); its
    // settings and serial numbers start again.
    AllocState& alloc = s.alloc;
    alloc.nextSerial = 0;
    alloc.traceAll = alloc.logTotals = alloc.checkAlways = alloc.traceSize = 0;
}

void ReturnTestSeamsToStart() {
    RemoveVirtualClock();
    const DesktopSettings desktop = DesktopSettingsFromEnvironment();
    ResetDisplayForTest(desktop.format, desktop.width, desktop.height, desktop.refresh);
    SetDirect3DProfile(DefaultDirect3DProfile());
    RecordDirect3DCalls(false);
    UseMachineFontsForTest();
    FailNextFontCreations(0);
    FailNextCompatibleDcs(0);
    FailNextFontSelections(0);
    SetFakeMemoryStatus(nullptr);
    SetFakeVersionInfo(nullptr);
    SetFakeOemCodePage(0);
    FailNextHeapAllocations(0);
    HoldFileReads(false);
    RemoveFakeCpu();
    DinputSeamReset();
    DsoundSeamReset();
    DmusicSeamReset();
    MciSeamReset();
    WinSockSeamReset();
    ResetMovieSeams();
}

}  // namespace

void RememberLibraryStartValues(void) {
    KeptRecords().clear();
    Keep(RandomGenerator);
    Keep(g_Screen);
    Keep(FrontMemImg);
    Keep(BackMemImg);
    Keep(ZBufferMemImg);
    Keep(g_ScreenDrawContext);
    Keep(g_DrawState);
    Keep(g_SoftwareRectOutline);
    Keep(g_GraphCamera);
    Keep(g_MaskScreen);
    Keep(MaskDataTable);
    Keep(MovieAlphaOption);
    Keep(g_D3D);
    Keep(D3DSlots);
    Keep(DrawDiffuseColor);
    Keep(BlendTextureScale);
    Keep(DefaultFontSettings);
    Keep(InputStateRecord);
    Keep(CharInputStateRecord);
    Keep(SoundDeviceStateRecord);
    Keep(MusicStateRecord);
    Keep(SoundCaptureStateRecord);
    Keep(NetWorkStateRecord);
    Keep(HttpDownloadStateRecord);
    for (HandleTable* table : HandleTables) Keep(*table);

    char directory[4096];
    StartDirectory = getcwd(directory, sizeof directory) != nullptr ? directory : "";
    for (size_t i = 0; i < std::size(KeptVariables); i++) {
        const char* value = std::getenv(KeptVariables[i]);
        StartVariables[i] = {value != nullptr, value != nullptr ? value : ""};
    }
}

void ReturnLibraryToStartValues(void) {
    EndWhatIsRunning();
    for (HandleTable* table : HandleTables) ResetHandleTable(table);
    for (const KeptRecord& kept : KeptRecords()) std::memcpy(kept.record, kept.start.data(), kept.size);
    ReturnSystemStateToStart();
    InitArchiveSystem();
    SetFileBackendTable(nullptr);
    ReturnTestSeamsToStart();

    if (!StartDirectory.empty() && chdir(StartDirectory.c_str()) != 0) std::abort();
    for (size_t i = 0; i < std::size(KeptVariables); i++) {
        if (StartVariables[i].set) {
            setenv(KeptVariables[i], StartVariables[i].value.c_str(), 1);
        } else {
            unsetenv(KeptVariables[i]);
        }
    }
    tzset();
}
