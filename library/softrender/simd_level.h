// simd_level.h - which vector instructions the software renderers' kernels use.
//
// SSE2 is always there on x86-64; AVX2 kernels run where the processor has AVX2. The
// level is read once per draw, and every level gives the same bytes. Tests lower the
// limit to run the narrower kernels on a wider processor.
#pragma once

enum SoftRenderSimd { SoftRenderSimdSse2, SoftRenderSimdAvx2 };

// The widest level the processor has, within the limit.
SoftRenderSimd SoftRenderSimdLevel();

// Caps the level (SoftRenderSimdAvx2: no cap); returns the cap it replaces.
SoftRenderSimd LimitSoftRenderSimd(SoftRenderSimd highest);
