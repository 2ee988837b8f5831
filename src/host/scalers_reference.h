// The scalers written pixel by pixel on whole 32-bit pixels: the definition that the
// vector scalers in scalers.cpp must match bit for bit, the portable build without SSE2,
// and the tail of a row that is too short for a whole vector block.
//
// Same arguments and results as the filter_* routines of host/host.h.
#pragma once

#include <cstdint>

void reference_filter_rows_x3_scanlines(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                                        uint32_t src_skip, uint32_t dst_pitch);
void reference_filter_rows_x2_blend(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                                    uint32_t src_skip, uint32_t dst_pitch);
void reference_filter_rows_x2(const uint32_t* src, uint32_t* dst, uint32_t width, uint32_t rows,
                              uint32_t src_skip, uint32_t dst_pitch);
void reference_filter_cols_5_4(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                               uint32_t src_skip, uint32_t dst_skip);
void reference_filter_cols_4_3(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                               uint32_t src_skip, uint32_t dst_skip);
void reference_filter_cols_3_2(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                               uint32_t src_skip, uint32_t dst_skip);
void reference_filter_cols_15_8(const uint32_t* src, uint32_t* dst, uint32_t src_width, uint32_t rows,
                                uint32_t src_skip, uint32_t dst_skip);
