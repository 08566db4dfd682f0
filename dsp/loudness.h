// Loudness contour: low shelf, two bells and a low-pass per channel, then a DC blocker and a gain ramp.
#pragma once

class Loudness {
  public:
    Loudness();
    ~Loudness();

    // A rate that is not positive is refused and the previous design stays.
    void setSampleRate(float rate);
    // Sections outside 0..9 are ignored.
    void recalcBiQuad(long section, float freq, float gain, float q);
    void process(float* left, float* right, long count);
    void resetSoft();
    void resetAll();
    // A filter state that went non-finite is cleared so that one bad block cannot poison the rest.
    void resetIfNotFinite();

    struct Section {
        float b0, b1, b2, a1, a2; // normalised by a0
        float x1, x2, y1, y2;     // direct form I history
    };

    float gainNow;
    float lowShelfFreq;
    float lowShelfSlope;
    float lowShelfGainDb;
    float midBellFreq;
    float midBellGain;
    float highBellFreq;
    float highBellGain;
    float lowPassFreq;
    float dcBlockAmount;
    float spareLowPassFreq;
    float gainTarget;
    float mix;
    float bassBoost;
    float designRate;
    bool enabled;
    float dcBlockCoef;
    Section sections[10]; // 0..4 left, 5..9 right
    float dcStateL;
    float dcStateR;

  private:
    // The design inputs the sections were last computed from; the block driver asks for the same design
    // before every block, and small blocks would otherwise spend most of their time on it.
    static constexpr int kDesignInputs = 13;
    void designInputs(float* inputs) const;
    float designedFrom[kDesignInputs] = {};
    bool designCurrent = false;
};
