#pragma once

// Which vector form the filters' inner loops run in. The wide form (AVX2) gives the
// same integers as the plain one; it is chosen once from the processor, and tests
// pin the plain form to check the two against each other.
namespace brisant {

bool WideVectors();
// true takes effect only on a processor that has the wide form
void SetWideVectors(bool wide);

}  // namespace brisant
