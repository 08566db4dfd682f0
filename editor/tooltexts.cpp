#include "editor/tooltexts.h"

const char tooltexts[kNumUsedParams][kTooltextSize] = {
    "Output volume",
    "Bypasses the signal",
    "Dynamically boosts low frequencies based on the non-linearity of the human ear. It raises the perceived "
    "volume without drastically changing the overall volume. Adjust the level in a way that the LED is only "
    "sometimes red.",
    "Equalizes non linearities in the frequency response of the human ear and makes the mix sound more fat. "
    "Use this control together with BASSBOOST.",
    "Bass level of the loudness contour. Use this control together with LOUDNESS MIX.",
    "Use the Linear phase Tone Control to compensate for recording deficiencies, hearing impairments, room "
    "acoustics or shortcomings within playback equipment. It's also useful to make your mix sound warmer.",
    "Creates a sense of being right in the middle of the mix by enhancing auditory spaciousness and "
    "transparency. The sound quality within the stereo field is less depended on the listeners position, it "
    "can also be used to up-mix from mono to stereo.",
    "Enhances auditory spaciousness and gives the mix a silk like texture. The sound quality within the "
    "stereo field is less depended on the listeners position, it can also be used to up-mix from mono to "
    "stereo.",
    "Adds a punch like analog quality to the sound. It masks non linearities in your speakers, amplifiers "
    "and "
    "gives a more natural appearance by simulating the natural dispersion of the sound.",
    "Adds a soft silky analog sound quality. It masks non linearities in your speakers, amplifiers and "
    "simulates a natural propagation of the sound. It can also be used to enhance vocals.",
    "The multi-band exciter adds additional harmonics. It can be used to add more crisp to your mix or to "
    "reconstruct missing frequencies from old analog recordings and low bit-rate encoding.",
    "Controls the exciter's frequency, use it together with MIX.",
    "Enhances the transparency and gives the mix more clarity by adding expression and dynamics.",
    "Removes noise from recordings.",
    "Low gain of the 3 band parametric EQ. MID FREQUENCY controls the cutoff.",
    "Mid gain of the 3 band parametric EQ. MID FREQUENCY controls the cutoff.",
    "High gain of the 3 band parametric EQ. MID FREQUENCY controls the cutoff.",
    "The low band's stereo width control. Use a value from 0 to 50% to keep the signal compatible with mono "
    "sub-woofers. MID FREQUENCY controls cutoff.",
    "The mid band's stereo width control. Use values above 50% to widen the stereo field without affecting "
    "the mono signal. MID FREQUENCY controls cutoff.",
    "The high band's stereo width control. Use values above 50% to widen the stereo field without affecting "
    "the mono signal. MID FREQUENCY controls cutoff.",
    "Adds a very short delay between the low band's left and right channel. MID FREQUENCY controls the "
    "cutoff.",
    "Adds a very short delay between the mid band's left and right channel. MID FREQUENCY controls the "
    "cutoff.",
    "Adds a very short delay between the high band's left and right channel. MID FREQUENCY controls the "
    "cutoff.",
    "The 3 band parametric EQ and stereo widener's frequency.",
    "Checks the signal for mono compatibility.",
};
