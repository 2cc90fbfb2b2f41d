// The Gaussian weight table of the processor pipeline.
#include "engine/FilterShapes.h"
#include "engine/PatternOps.h"

namespace maculo {

void BuildWeightTable(float* table, int32_t length, float coef1, float coef2) {
    const GaussianTableShape shape{length, coef1, coef2};
#pragma omp parallel for schedule(static)
    for (int32_t i = 0; i < length; ++i) table[i] = GaussianWeight(i, shape);
}

}  // namespace maculo
