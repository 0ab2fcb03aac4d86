// Tags through libavformat: the container's metadata first, then the first audio stream's.
#include "platform/audio/FileTags.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

namespace brisko::audio {

namespace {

std::string tag(const AVFormatContext* fmt, const char* key) {
    if (const AVDictionaryEntry* e = av_dict_get(fmt->metadata, key, nullptr, 0)) return e->value;
    for (unsigned k = 0; k < fmt->nb_streams; ++k) {
        const AVStream* s = fmt->streams[k];
        if (s->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) continue;
        if (const AVDictionaryEntry* e = av_dict_get(s->metadata, key, nullptr, 0)) return e->value;
        break;
    }
    return {};
}

}  // namespace

void readTags(const std::string& path, std::string* artist, std::string* title) {
    artist->clear();
    title->clear();
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return;
    // Some formats (Ogg, FLAC) carry their tags in the stream headers read here.
    if (avformat_find_stream_info(fmt, nullptr) >= 0 || fmt->nb_streams > 0) {
        *artist = tag(fmt, "artist");
        *title = tag(fmt, "title");
    }
    avformat_close_input(&fmt);
}

}  // namespace brisko::audio
