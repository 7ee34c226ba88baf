// Test seams of the Direct3D device layer. See d3d_seams.h.
#include "platform/d3d/testing/d3d_seams.h"

D3DDeviceProfile DefaultDirect3DProfile() { return DefaultD3DConfig(); }
void SetDirect3DProfile(const D3DDeviceProfile& profile) { D3DConfig() = profile; }
D3DDeviceProfile& CurrentDirect3DProfile() { return D3DConfig(); }

void NoDirect3DForTest() { D3DConfig().failObjects = -1; }
void FailDirect3DCreations(int count) { D3DConfig().failObjects = count; }
void FailDirect3DDeviceCreations(int count) { D3DConfig().failDevices = count; }

void FailDirect3DLoads(HRESULT error, int count) {
    D3DConfig().failLoadError = error;
    D3DConfig().failLoadCount = count;
}

void FailDirect3DViewports(HRESULT error, int count) {
    D3DConfig().failViewportError = error;
    D3DConfig().failViewportCount = count;
}

void UseGeneralRasterPathOnly(bool on) { D3DConfig().generalRasterOnly = on; }

void RecordDirect3DCalls(bool on) { D3DSetRecording(on); }
const std::vector<D3DCallRecord>& RecordedDirect3DCalls() { return D3DRecordedCalls(); }
void ClearRecordedDirect3DCalls() { D3DRecordedCalls().clear(); }

int CountDirect3DCalls(D3DCall call) {
    int n = 0;
    for (const D3DCallRecord& r : D3DRecordedCalls()) n += r.call == call;
    return n;
}

std::vector<std::pair<DWORD, DWORD>> RecordedRenderStates() {
    std::vector<std::pair<DWORD, DWORD>> states;
    for (const D3DCallRecord& r : D3DRecordedCalls())
        if (r.call == D3DCall::SetRenderState) states.emplace_back(r.a, r.b);
    return states;
}
