#pragma once

#include <libxml/xmlwriter.h>

#include <functional>
#include <string>
#include <string_view>

namespace ravelong {

// A libxml2 text writer whose bytes go to a function (a digest, a string, a file), with the few
// calls the backup code needs. Every element is closed in its full form ("<a></a>", never
// "<a/>"), so that an element's compact text does not depend on whether it had content; the
// reader rebuilds the same form when it checks a file's integrity value.
//
// Writing failures (the sink refused bytes, libxml2 ran out of memory) are remembered; ok()
// reports them after the last call.
class XmlTextSink {
public:
    // `sink` receives the bytes; it returns false to stop the writer.
    XmlTextSink(std::function<bool(const char*, std::size_t)> sink, bool indent);
    ~XmlTextSink();
    XmlTextSink(const XmlTextSink&) = delete;
    XmlTextSink& operator=(const XmlTextSink&) = delete;

    void startDocument();
    void endDocument();
    void start(std::string_view name);
    void attribute(std::string_view name, std::string_view value);
    // Content of the open element (escaped by the writer); empty text writes nothing.
    void text(std::string_view content);
    void end();
    // start, text, end.
    void element(std::string_view name, std::string_view content);
    // Pushes buffered bytes to the sink.
    void flush();
    bool ok() const { return ok_; }

private:
    void check(int result);

    std::function<bool(const char*, std::size_t)> sink_;
    xmlTextWriterPtr writer_ = nullptr;
    bool ok_ = true;
    std::string scratch_;
};

}  // namespace ravelong
