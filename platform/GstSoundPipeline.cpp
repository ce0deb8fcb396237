// The sound pipeline on GStreamer: a playbin whose audio goes to the system's audio output, or
// to a fake sink kept at real-time pace when the machine has none.
#include <gst/gst.h>

#include <string>

#include "platform/SoundPipeline.h"

namespace {

// playbin's GST_PLAY_FLAG_SOFT_VOLUME (the flags type belongs to the plugin, not to a header).
constexpr guint kSoftVolumeFlag = 0x10;

bool StartGstreamer() {
    static const bool started = gst_init_check(nullptr, nullptr, nullptr) == TRUE;
    return started;
}

// Whether the automatic audio sink reaches a real output: it must get ready, and what it chose
// must not be its own fake fallback.
bool HasAudioOutput() {
    static const bool has = [] {
        GstElement* sink = gst_element_factory_make("autoaudiosink", nullptr);
        if (!sink) return false;
        bool real = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
        if (real && GST_IS_BIN(sink)) {
            GstIterator* it = gst_bin_iterate_elements(GST_BIN(sink));
            GValue item = G_VALUE_INIT;
            bool any = false;
            while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
                GstElement* child = GST_ELEMENT(g_value_get_object(&item));
                GstElementFactory* factory = gst_element_get_factory(child);
                const char* name = factory ? GST_OBJECT_NAME(factory) : "";
                if (std::string(name) == "fakesink" || std::string(name) == "fakeaudiosink") real = false;
                any = true;
                g_value_reset(&item);
            }
            g_value_unset(&item);
            gst_iterator_free(it);
            if (!any) real = false;
        }
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        return real;
    }();
    return has;
}

class GstSoundPipeline : public SoundPipeline {
public:
    ~GstSoundPipeline() override { Close(); }

    bool Open(const char* path, std::string* error) override {
        Close();
        if (!StartGstreamer()) return Fail(error, "GStreamer cannot be started");
        if (!g_file_test(path, G_FILE_TEST_IS_REGULAR)) return Fail(error, "no such file");
        GError* gerr = nullptr;
        gchar* uri = gst_filename_to_uri(path, &gerr);
        if (!uri) return Fail(error, TakeMessage(gerr));
        pipeline_ = gst_element_factory_make("playbin", nullptr);
        if (!pipeline_) {
            g_free(uri);
            return Fail(error, "the playbin element is missing");
        }
        g_object_set(pipeline_, "uri", uri, nullptr);
        g_free(uri);
        // No software volume: the viewer never changes the volume, and the volume element that
        // playbin would add for it is not released with the pipeline (one is lost on every
        // load, which a viewer reloading for hours would feel).
        guint flags = 0;
        g_object_get(pipeline_, "flags", &flags, nullptr);
        g_object_set(pipeline_, "flags", flags & ~kSoftVolumeFlag, nullptr);
        // Audio only: a video stream in the file is not shown.
        g_object_set(pipeline_, "video-sink", gst_element_factory_make("fakesink", nullptr), nullptr);
        fakeOutput_ = !HasAudioOutput();
        if (fakeOutput_) {
            GstElement* sink = gst_element_factory_make("fakesink", nullptr);
            g_object_set(sink, "sync", TRUE, nullptr);
            g_object_set(pipeline_, "audio-sink", sink, nullptr);
        }
        bus_ = gst_element_get_bus(pipeline_);
        return Preroll(error);
    }

    bool Run() override { return SetState(GST_STATE_PLAYING, true); }
    bool Pause() override { return SetState(GST_STATE_PAUSED, false); }
    bool Stop() override { return SetState(GST_STATE_PAUSED, false); }

    bool SetPosition(double seconds) override {
        if (!pipeline_ || seconds < 0.0) return false;
        return Seek(rate_, seconds);
    }

    bool SetRate(double rate) override {
        if (!pipeline_ || !(rate > 0.0)) return false; // playing backwards or standing is refused
        double at = Position();
        if (at < 0.0) at = 0.0;
        if (!Seek(rate, at)) return false;
        rate_ = rate;
        return true;
    }

    Event NextEvent(std::string* text) override {
        if (!bus_) return None;
        GstMessage* m =
            gst_bus_pop_filtered(bus_, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (!m) return None;
        Event e = EndOfStream;
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
            GError* gerr = nullptr;
            gst_message_parse_error(m, &gerr, nullptr);
            if (text) *text = TakeMessage(gerr);
            e = Failure;
        }
        gst_message_unref(m);
        return e;
    }

    bool HasEvents() override {
        if (!bus_) return false;
        GstMessage* m = gst_bus_peek(bus_);
        while (m && GST_MESSAGE_TYPE(m) != GST_MESSAGE_EOS && GST_MESSAGE_TYPE(m) != GST_MESSAGE_ERROR) {
            gst_message_unref(m);
            gst_message_unref(gst_bus_pop(bus_)); // other messages are of no interest
            m = gst_bus_peek(bus_);
        }
        if (!m) return false;
        gst_message_unref(m);
        return true;
    }

    double Position() override {
        gint64 at = 0;
        if (!pipeline_ || !gst_element_query_position(pipeline_, GST_FORMAT_TIME, &at)) return -1.0;
        return static_cast<double>(at) / GST_SECOND;
    }
    double Rate() const override { return rate_; }
    bool IsRunning() const override { return running_; }
    bool WithoutAudioOutput() const override { return fakeOutput_; }

private:
    static bool Fail(std::string* error, const std::string& text) {
        if (error) *error = text;
        return false;
    }
    static std::string TakeMessage(GError* gerr) {
        std::string text = gerr && gerr->message ? gerr->message : "unknown error";
        if (gerr) g_error_free(gerr);
        return text;
    }

    // Paused and waiting until the first buffer reached the sink, or the pipeline failed.
    bool Preroll(std::string* error) {
        if (gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
            std::string text = "the file cannot be played";
            DrainError(&text);
            Close();
            return Fail(error, text);
        }
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus_, 10 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_ASYNC_DONE | GST_MESSAGE_ERROR));
        std::string text = "the file did not become ready";
        bool ok = false;
        if (m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_ASYNC_DONE) ok = true;
        if (m && GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
            GError* gerr = nullptr;
            gst_message_parse_error(m, &gerr, nullptr);
            text = TakeMessage(gerr);
        }
        if (m) gst_message_unref(m);
        if (!ok) {
            Close();
            return Fail(error, text);
        }
        rate_ = 1.0;
        return true;
    }

    void DrainError(std::string* text) {
        GstMessage* m = gst_bus_pop_filtered(bus_, GST_MESSAGE_ERROR);
        if (!m) return;
        GError* gerr = nullptr;
        gst_message_parse_error(m, &gerr, nullptr);
        *text = TakeMessage(gerr);
        gst_message_unref(m);
    }

    bool SetState(GstState state, bool running) {
        if (!pipeline_) return true;
        if (gst_element_set_state(pipeline_, state) == GST_STATE_CHANGE_FAILURE) return false;
        running_ = running;
        return true;
    }

    bool Seek(double rate, double seconds) {
        const gint64 at = static_cast<gint64>(seconds * GST_SECOND);
        return gst_element_seek(pipeline_, rate, GST_FORMAT_TIME,
                                static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                GST_SEEK_TYPE_SET, at, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE) == TRUE;
    }

    void Close() {
        if (bus_) gst_object_unref(bus_);
        bus_ = nullptr;
        if (pipeline_) {
            gst_element_set_state(pipeline_, GST_STATE_NULL);
            gst_object_unref(pipeline_);
        }
        pipeline_ = nullptr;
        running_ = false;
    }

    GstElement* pipeline_ = nullptr;
    GstBus* bus_ = nullptr;
    double rate_ = 1.0;
    bool running_ = false;
    bool fakeOutput_ = false;
};

} // namespace

std::unique_ptr<SoundPipeline> CreateSoundPipeline() {
    return std::make_unique<GstSoundPipeline>();
}
