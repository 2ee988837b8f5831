// The scalers written pixel by pixel on whole 32-bit pixels: the definition that the
// vector scalers in scalers.cpp must match bit for bit, the portable build without SSE2,
// and the tail of a row that is too short for a whole vector block.
//
// Same arguments and results as the filter_* routines of host/host.h.
#pragma once

#include "host/host.h"

RowFilter reference_filter_rows_x3_scanlines, reference_filter_rows_x2_blend, reference_filter_rows_x2;
ColumnFilter reference_filter_cols_5_4, reference_filter_cols_4_3, reference_filter_cols_3_2;
ColumnFilter reference_filter_cols_15_8;
