// Arithmetic that the rules and the drawing share: angles in degrees and the
// game's float-to-int conversion. Plain functions, no display, no state.
#pragma once

float SinDeg(float degrees);
float CosDeg(float degrees);
float ATan2Deg(float y, float x);
// Truncates toward zero; values beyond the int range saturate, NaN gives 0.
int Truncate(float value);
