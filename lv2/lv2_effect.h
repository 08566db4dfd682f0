// One LV2 instance: the effect built in this process and driven through its AEffect record as a host drives
// the VST module, with the control ports, the audio ports and the session state around it.
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/parameter_ids.h"
#include "host/aeffect.h"

class PxAudio;

// Port numbers: the parameters keep their indices, the audio ports follow.
constexpr uint32_t kFirstAudioPort = kNumParams;
constexpr uint32_t kNumPorts = kFirstAudioPort + 4; // left and right in, left and right out

// What the editor's host side answers to the effect's calls; the LV2 editor implements it.
class EditorHost {
  public:
    virtual ~EditorHost() = default;
    virtual void automate(int index, float value) = 0;
    virtual void touch(int index, bool grabbed) = 0;
    // True when the host resized the editor's window.
    virtual bool resize(int width, int height) = 0;
};

class Lv2Effect {
  public:
    // Null when the effect could not be built.
    static Lv2Effect* create(double sampleRate);
    ~Lv2Effect();

    // --- host's threads, as LV2 classes them ---
    void connect(uint32_t port, void* data);
    void activate();
    void deactivate();
    // Audio thread: applies the control ports that changed since the last run, then processes in place.
    void run(uint32_t frames);

    AEffect* record() const { return effect; }
    PxAudio& audio() const;
    // After a restored session: the next run takes every control port again. Hosts restore the ports with the
    // state, and theirs are the newer values when run() had not yet seen the last ones before the save.
    // Never while run() may be running (LV2 restores only then).
    void retakeControlPorts();
    // The last value run() took from a control port (NaN before the first); any thread.
    float portValueApplied(int index) const { return applied[index].load(std::memory_order_relaxed); }
    // One editor at a time; false when another already holds the effect.
    bool attachEditor(EditorHost* host);
    void detachEditor(EditorHost* host);

  private:
    Lv2Effect() = default;
    static VstIntPtr VSTCALLBACK hostCallback(AEffect* record, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt);

    AEffect* effect = nullptr;
    const float* controls[kNumParams] = {};
    float* audioPorts[4] = {};
    float seen[kNumParams];                 // audio thread only
    std::atomic<float> applied[kNumParams]; // the same, for the editor
    std::atomic<EditorHost*> editor{nullptr};
};

// The effect behind an LV2 handle of this plug-in (what an editor receives through instance access).
Lv2Effect* lv2EffectOfHandle(void* handle);
