// The effect: one object per plug-in instance, owning programs, parameters, the audio path and the editor.
#pragma once

#include <atomic>
#include <memory>

#include "dsp/audio_path.h"
#include "engine/parameter_ids.h"
#include "engine/px_program.h"
#include "host/audioeffectx.h"

class PxAudio : public AudioEffectX {
  public:
    // --- host's loading thread (VSTPluginMain); destroyed by effClose on the host's UI thread ---
    explicit PxAudio(audioMasterCallback hostCallback);
    ~PxAudio() override;

    // --- host's UI thread, while processing is off ---
    void suspend() override;
    void setSampleRate(float rate) override;
    void resetVariables();

    // --- audio thread ---
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;

    // --- any thread: host automation, the audio thread, the editor ---
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    // --- host's UI thread (or another non-audio thread of the host), through the dispatcher ---
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;
    // The host's scale factor for the editor ('PreS', 'AeCs', the factor in floatArg); 1 when taken.
    VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;
    VstPlugCategory getPlugCategory() override;

    // --- the editor's thread (host's UI thread) ---
    // The editor's program selection: the same as setProgram.
    void setProgramS(VstInt32 program);
    // Resets program p to the neutral program and names it "Init ppp"; the live parameters stay.
    void initPatch(VstInt32 program);
    // Written by the audio thread, read by the editor's idle.
    const DisplayFeed& displayFeed() const { return audio.feed; }
    // Program values and names, read and written by the preset images (editor, renderer set-up).
    const PxProgram& program(VstInt32 index) const { return programs[index]; }
    PxProgram& program(VstInt32 index) { return programs[index]; }

    // --- any thread (the rate changes only while processing is off) ---
    int64_t getSampleRateInt() const { return audio.getSampleRateInt(); }
    // Lag of the output behind the input in samples, as the audio path currently runs.
    int32_t pathDelay() const { return audio.pathDelay(); }

  private:
    void applyProgram(VstInt32 program);
    static void showRateWarning(void* context);

    std::unique_ptr<PxProgram[]> programs;
    std::atomic<float> params[kNumParams];
    AudioPath audio;
};

// Builds one effect for the host; null when it cannot be created.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);
