// The sound output in a browser (audio_output.h): a Web Audio context with
// a script processor node that pulls stereo frames from the AudioSource on
// the page's own thread. Browsers start a context suspended until the page
// has had a click or a key; the context is resumed by the first one, and
// until then no frame is pulled (so a music stream's position stays 0).
#include "platform/audio_output.h"

#include <emscripten/emscripten.h>

#include <cstring>

namespace jolp {
namespace {

// Frames of one pull: 4096 at 44.1 kHz is 93 ms, which the page's thread
// keeps up with even while a slow frame is drawn.
constexpr int kBufferFrames = 4096;

bool g_open = false;
int g_rate = 0;
AudioSource* g_source = nullptr;
float g_mix[kBufferFrames * 2];

EM_JS(int, jolp_web_audio_open, (int rate, int frames), {
    var Context = window.AudioContext || window.webkitAudioContext;
    if (!Context) return 0;
    var context;
    try {
        context = new Context({sampleRate: rate});
    } catch (e) {
        try {
            context = new Context();
        } catch (e2) {
            return 0;
        }
    }
    var node = context.createScriptProcessor(frames, 0, 2);
    node.onaudioprocess = function(event) {
        var out = event.outputBuffer;
        var n = out.length;
        var at = _jolp_web_audio_pull(n) >> 2;
        var left = out.getChannelData(0);
        var right = out.getChannelData(1);
        var mix = HEAPF32;
        for (var i = 0; i < n; ++i) {
            left[i] = mix[at + 2 * i];
            right[i] = mix[at + 2 * i + 1];
        }
    };
    node.connect(context.destination);
    var resume = function() {
        if (context.state === 'suspended') context.resume();
    };
    ['mousedown', 'keydown', 'touchend'].forEach(function(type) {
        window.addEventListener(type, resume, true);
    });
    Module['jolpAudio'] = {context: context, node: node, resume: resume};
    return context.sampleRate | 0;
});

EM_JS(void, jolp_web_audio_close, (), {
    var audio = Module['jolpAudio'];
    if (!audio) return;
    ['mousedown', 'keydown', 'touchend'].forEach(function(type) {
        window.removeEventListener(type, audio.resume, true);
    });
    audio.node.disconnect();
    audio.context.close();
    Module['jolpAudio'] = null;
});

}  // namespace

// Called by the node for each buffer: mixes frames into g_mix and returns
// where it is.
extern "C" EMSCRIPTEN_KEEPALIVE float* jolp_web_audio_pull(int frames) {
    if (frames > kBufferFrames) frames = kBufferFrames;
    if (g_source) {
        g_source->Mix(g_mix, frames);
    } else {
        std::memset(g_mix, 0, sizeof g_mix);
    }
    return g_mix;
}

bool OpenAudioOutput(int rate, std::string& error) {
    if (g_open) return true;
    g_rate = jolp_web_audio_open(rate, kBufferFrames);
    if (g_rate <= 0) {
        error = "audio: this browser has no Web Audio";
        return false;
    }
    g_open = true;
    return true;
}

void CloseAudioOutput() {
    if (!g_open) return;
    g_source = nullptr;
    jolp_web_audio_close();
    g_open = false;
}

bool AudioOutputIsOpen() { return g_open; }

AudioOutputInfo GetAudioOutputInfo() {
    AudioOutputInfo info;
    if (!g_open) return info;
    info.rate = g_rate;
    info.bufferFrames = kBufferFrames;
    info.driver = "Web Audio";
    return info;
}

// The node runs on the page's thread, between animation frames: nothing
// to wait for.
void SetAudioSource(AudioSource* source) { g_source = source; }

}  // namespace jolp
