// triangle_fill_reference.h - a slow model of the triangle filler, written from its
// rules rather than from the library's code: the walk visits every row from the top
// vertex down (nothing is skipped), every pixel is tested against the texture, and the
// per-pixel rules are the write tables of each texture family, with every decision
// (mode, factors, admission) taken again per pixel at run time. The packed add and
// subtract are spelled out step by step.
//
// Positions are 64-bit here too, so vertices beyond the 14.18 range can be checked;
// the walk's length is the triangle's height, so keep such triangles short.
#pragma once

#include <cstdint>
#include <vector>

#include "blit_reference.h"
#include "library/softrender/triangle.h"

// The expected destination bytes (dest->pitch x dest->height) after
// DrawTriangle2DOnMemImg with the same arguments under the settings.
std::vector<uint8_t> ReferenceDrawTriangle(const MEMIMG* dest, const MEMIMG* texture, const TexTriVertex vertices[3],
                                           int transparent, const MEMIMG* blendImage, uint32_t fillColour,
                                           const RefSettings& s);

// The packed operations as their steps are written.
uint32_t RefAddPixels565(uint32_t d, uint32_t s);
uint32_t RefSubtractPixels565(uint32_t d, uint32_t s);
uint32_t RefAddPixels8888(uint32_t d, uint32_t s);
uint32_t RefSubtractPixels8888(uint32_t d, uint32_t s);
