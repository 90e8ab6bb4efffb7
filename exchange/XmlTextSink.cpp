#include "exchange/XmlTextSink.h"

#include <libxml/xmlIO.h>

namespace ravelong {

namespace {

int writeToSink(void* context, const char* buffer, int length) {
    auto* sink = static_cast<std::function<bool(const char*, std::size_t)>*>(context);
    return (*sink)(buffer, static_cast<std::size_t>(length)) ? length : -1;
}

int closeSink(void*) {
    return 0;
}

const xmlChar* xml(const std::string& text) {
    return reinterpret_cast<const xmlChar*>(text.c_str());
}

}  // namespace

XmlTextSink::XmlTextSink(std::function<bool(const char*, std::size_t)> sink, bool indent)
    : sink_(std::move(sink)) {
    xmlOutputBufferPtr output = xmlOutputBufferCreateIO(writeToSink, closeSink, &sink_, nullptr);
    if (output)
        writer_ = xmlNewTextWriter(output);  // owns the output from here on
    if (!writer_) {
        if (output)
            xmlOutputBufferClose(output);
        ok_ = false;
        return;
    }
    if (indent) {
        xmlTextWriterSetIndent(writer_, 1);
        xmlTextWriterSetIndentString(writer_, reinterpret_cast<const xmlChar*>("  "));
    }
}

XmlTextSink::~XmlTextSink() {
    if (writer_)
        xmlFreeTextWriter(writer_);
}

void XmlTextSink::check(int result) {
    if (result < 0)
        ok_ = false;
}

void XmlTextSink::startDocument() {
    if (ok_)
        check(xmlTextWriterStartDocument(writer_, "1.0", "UTF-8", nullptr));
}

void XmlTextSink::endDocument() {
    if (ok_)
        check(xmlTextWriterEndDocument(writer_));
    flush();
}

void XmlTextSink::start(std::string_view name) {
    if (!ok_)
        return;
    scratch_.assign(name);
    check(xmlTextWriterStartElement(writer_, xml(scratch_)));
}

void XmlTextSink::attribute(std::string_view name, std::string_view value) {
    if (!ok_)
        return;
    const std::string key(name);
    scratch_.assign(value);
    check(xmlTextWriterWriteAttribute(writer_, xml(key), xml(scratch_)));
}

void XmlTextSink::text(std::string_view content) {
    if (!ok_ || content.empty())
        return;
    scratch_.assign(content);
    check(xmlTextWriterWriteString(writer_, xml(scratch_)));
}

void XmlTextSink::end() {
    if (ok_)
        check(xmlTextWriterFullEndElement(writer_));
}

void XmlTextSink::element(std::string_view name, std::string_view content) {
    start(name);
    text(content);
    end();
}

void XmlTextSink::flush() {
    if (ok_)
        check(xmlTextWriterFlush(writer_));
}

}  // namespace ravelong
