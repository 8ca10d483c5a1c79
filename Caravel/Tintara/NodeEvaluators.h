#pragma once

#include "Caravel/Tintara/MultiLutWorkBase.h"

namespace tintara {

struct ColorTransform;
struct ProfileDescription;

// What every node evaluator reads: the transform (its intent) and both descriptions.
struct EvaluatorContext {
    const ColorTransform* transform;
    const ProfileDescription* input;
    const ProfileDescription* output;
};

// Each evaluator: source stage of the input profile, PCS connection, destination
// stage of the output profile. in: link inputs in 0..1; out: link outputs.
void EvaluateGrayToGray(const void* context, const double* in, double* out);
void EvaluateGrayToLut(const void* context, const double* in, double* out);
void EvaluateGrayToMatrix(const void* context, const double* in, double* out);
void EvaluateLutToGray(const void* context, const double* in, double* out);
void EvaluateLutToLut(const void* context, const double* in, double* out);
void EvaluateLutToMatrix(const void* context, const double* in, double* out);
void EvaluateMatrixToGray(const void* context, const double* in, double* out);
void EvaluateMatrixToLut(const void* context, const double* in, double* out);
void EvaluateMatrixToMatrix(const void* context, const double* in, double* out);

// The evaluator for (input kind, output kind), nullptr when none fits.
NodeEvaluator ChooseNodeEvaluator(long inputKind, long outputKind);

} // namespace tintara
