// d3d_seams.h - test seams of the Direct3D device layer.
//
//     NoDirect3DForTest();                       // QueryInterface(IID_IDirect3D7) always fails
//     FailDirect3DDeviceCreations(1);            // the next CreateDevice fails
//     D3DDeviceProfile profile = DefaultDirect3DProfile();
//     profile.textureFormats.resize(1);          // a device with one texture format
//     SetDirect3DProfile(profile);
//     RecordDirect3DCalls(true);
//     ... run the code under test ...
//     EXPECT_EQ(1, CountDirect3DCalls(D3DCall::DrawPrimitive));
#pragma once

#include <vector>

#include "platform/d3d/d3d_internal.h"

// What the Direct3D object lists and the failures it is asked to give; the default is
// what a program meets.
using D3DDeviceProfile = D3DLayerConfig;
D3DDeviceProfile DefaultDirect3DProfile();
void SetDirect3DProfile(const D3DDeviceProfile& profile);
D3DDeviceProfile& CurrentDirect3DProfile();  // change in place

// A machine without Direct3D: every QueryInterface for the Direct3D object fails, so
// graphics start-up takes its fallback.
void NoDirect3DForTest();
// The next `count` queries for the Direct3D object (-1: all) fail.
void FailDirect3DCreations(int count);
void FailDirect3DDeviceCreations(int count);
void FailDirect3DLoads(HRESULT error, int count);
void FailDirect3DViewports(HRESULT error, int count);
// The rasteriser draws every pixel through its general path, skipping the fast paths it
// picks per triangle, so a test can compare the two (true until set back).
void UseGeneralRasterPathOnly(bool on);

// The calls made on devices since recording was switched on (switching clears).
void RecordDirect3DCalls(bool on);
const std::vector<D3DCallRecord>& RecordedDirect3DCalls();
void ClearRecordedDirect3DCalls();
int CountDirect3DCalls(D3DCall call);
// The render states sent, in order, as (state, value) pairs.
std::vector<std::pair<DWORD, DWORD>> RecordedRenderStates();
