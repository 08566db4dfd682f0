// The demo clip: ten seconds of drums, bass and chords, synthesised so that no input file is needed.
#pragma once

#include <vector>

constexpr int kDemoSampleRate = 44100;

// Interleaved stereo at kDemoSampleRate; the same samples on every run.
std::vector<float> synthesiseDemoClip();
