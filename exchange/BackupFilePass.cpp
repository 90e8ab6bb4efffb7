#include "exchange/BackupFilePass.h"

#include <fcntl.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlschemas.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "exchange/BackupElementHandler.h"
#include "exchange/BackupTexts.h"
#include "exchange/IntegrityDigest.h"
#include "exchange/XmlTextSink.h"

namespace ravelong {

namespace texts = backup_texts;

namespace {

// The first problem libxml2 reports, parser and validator alike.
struct ErrorCollector {
    bool failed = false;
    bool invalid = false;  // a schema violation, as opposed to a file that cannot be read
    std::string message;
    int line = 0;
};

#if LIBXML_VERSION >= 21200
void collectError(void* data, const xmlError* error) {
#else
void collectError(void* data, xmlErrorPtr error) {
#endif
    auto* collector = static_cast<ErrorCollector*>(data);
    if (!error || error->level < XML_ERR_ERROR || collector->failed)
        return;
    collector->failed = true;
    collector->invalid = error->domain == XML_FROM_SCHEMASV;
    collector->message = error->message ? error->message : "unknown error";
    while (!collector->message.empty() && collector->message.back() == '\n')
        collector->message.pop_back();
    collector->line = error->line;
}

#if LIBXML_VERSION >= 21200
void ignoreError(void*, const xmlError*) {}
#else
void ignoreError(void*, xmlErrorPtr) {}
#endif

struct ReaderDeleter {
    void operator()(xmlTextReader* reader) const { xmlFreeTextReader(reader); }
};
struct SchemaDeleter {
    void operator()(xmlSchema* schema) const { xmlSchemaFree(schema); }
};
struct FileCloser {
    int fd = -1;
    ~FileCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

std::string_view view(const xmlChar* text) {
    return text ? std::string_view(reinterpret_cast<const char*>(text)) : std::string_view();
}

Error unreadable(const std::filesystem::path& file, const std::string& reason) {
    return Error{kRavelongErrorDomain, texts::kBackupUnreadableCode,
                 "Could not parse " + file.string(), reason};
}

}  // namespace

BackupFilePass::BackupFilePass(std::filesystem::path file) : file_(std::move(file)) {}

Status BackupFilePass::run() {
    std::unique_ptr<xmlSchema, SchemaDeleter> schema;
    if (schema_) {
        // libxml2's streaming validation can crash on a document that is not well-formed (a file
        // cut short ends it inside an open element): the file is read once without the schema
        // first, and only a well-formed one is validated.
        BackupFilePass plain(file_);
        if (Status wellFormed = plain.run(); !wellFormed)
            return wellFormed;
        xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(schema_->c_str());
        if (parser) {
            xmlSchemaSetParserStructuredErrors(parser, ignoreError, nullptr);
            schema.reset(xmlSchemaParse(parser));
            xmlSchemaFreeParserCtxt(parser);
        }
        if (!schema)
            return Error{kRavelongErrorDomain, texts::kBackupSchemaMissingCode,
                         schema_->string() + " validation generated an internal error",
                         "The schema file cannot be read."};
    }

    FileCloser file{::open(file_.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return unreadable(file_, std::string("The file cannot be opened: ") + strerror(errno));
    // Parsing options: no entity substitution (XML_PARSE_NOENT), no DTD loading
    // (XML_PARSE_DTDLOAD) or DTD attribute defaults, no network; libxml2's own limits on text
    // and depth stay on (no XML_PARSE_HUGE). The bytes are read as UTF-8 whatever the file says.
    std::unique_ptr<xmlTextReader, ReaderDeleter> reader(
        xmlReaderForFd(file.fd, file_.c_str(), "UTF-8", XML_PARSE_NONET | XML_PARSE_NOCDATA));
    if (!reader)
        return unreadable(file_, "The XML reader could not be made.");
    ErrorCollector errors;
    if (schema && xmlTextReaderSetSchema(reader.get(), schema.get()) != 0)
        return Error{kRavelongErrorDomain, texts::kBackupSchemaMissingCode,
                     schema_->string() + " validation generated an internal error",
                     "The schema could not be applied."};
    xmlTextReaderSetStructuredErrorHandler(reader.get(), collectError, &errors);

    std::unique_ptr<XmlTextSink> canonical;
    if (digest_) {
        canonical = std::make_unique<XmlTextSink>(
            [digest = digest_](const char* bytes, std::size_t length) {
                digest->write(bytes, length);
                return true;
            },
            false);
    }

    std::string text;
    std::vector<bool> hadChild;  // per open element: whether it holds elements
    std::string name;
    auto endOf = [&](std::string_view element, bool leaf) -> Status {
        if (canonical) {
            if (leaf)
                canonical->text(text);
            canonical->end();
        }
        Status handled = Status::success();
        if (handler_)
            handled = handler_->endElement(element, leaf ? std::string_view(text) : "");
        text.clear();
        return handled;
    };
    auto failure = [&]() -> Error {
        const std::string where =
            errors.line > 0 ? " (line " + std::to_string(errors.line) + ")" : "";
        if (errors.invalid)
            return Error{kRavelongErrorDomain, texts::kBackupInvalidCode,
                         file_.string() + " fails to validate", errors.message + where};
        return unreadable(file_,
                          (errors.failed ? errors.message : "The file is not complete.") + where);
    };

    int read = 0;
    while ((read = xmlTextReaderRead(reader.get())) == 1) {
        if (errors.failed)
            return failure();
        switch (xmlTextReaderNodeType(reader.get())) {
            case XML_READER_TYPE_DOCUMENT_TYPE: {
                auto* dtd = reinterpret_cast<xmlDtdPtr>(xmlTextReaderCurrentNode(reader.get()));
                if (dtd && (dtd->entities || dtd->pentities))
                    return unreadable(file_,
                                      "The file declares entities, which a backup never "
                                      "holds; it is not read.");
                break;
            }
            case XML_READER_TYPE_ENTITY_REFERENCE:
            case XML_READER_TYPE_ENTITY:
                return unreadable(file_,
                                  "The file refers to entities, which a backup never "
                                  "holds; it is not read.");
            case XML_READER_TYPE_ELEMENT: {
                name.assign(view(xmlTextReaderConstName(reader.get())));
                if (xmlTextReaderDepth(reader.get()) + 1 > kMaxDepth)
                    return unreadable(file_, "The elements are nested deeper than a backup's.");
                if (rootName_.empty()) {
                    rootName_ = name;
                    if (xmlChar* id = xmlTextReaderGetAttribute(
                            reader.get(), reinterpret_cast<const xmlChar*>("id"))) {
                        rootId_ = std::string(view(id));
                        xmlFree(id);
                    }
                    if (stopAfterRoot_)
                        return Status::success();
                }
                if (!hadChild.empty())
                    hadChild.back() = true;
                text.clear();
                if (name == texts::kOriginDescription || name == texts::kTask ||
                    name == texts::kTiming)
                    ++progressElements_;
                if (canonical)
                    canonical->start(name);
                if (handler_) {
                    if (Status started = handler_->startElement(name); !started)
                        return started;
                }
                if (xmlTextReaderIsEmptyElement(reader.get())) {
                    if (Status ended = endOf(name, true); !ended)
                        return ended;
                } else {
                    hadChild.push_back(false);
                }
                break;
            }
            case XML_READER_TYPE_END_ELEMENT: {
                name.assign(view(xmlTextReaderConstName(reader.get())));
                const bool leaf = !hadChild.empty() && !hadChild.back();
                if (!hadChild.empty())
                    hadChild.pop_back();
                if (Status ended = endOf(name, leaf); !ended)
                    return ended;
                break;
            }
            case XML_READER_TYPE_TEXT:
            case XML_READER_TYPE_CDATA:
            case XML_READER_TYPE_WHITESPACE:
            case XML_READER_TYPE_SIGNIFICANT_WHITESPACE: {
                const std::string_view value = view(xmlTextReaderConstValue(reader.get()));
                if (text.size() + value.size() > kMaxTextBytes)
                    return unreadable(file_, "A text in the file is longer than a backup holds.");
                text.append(value);
                break;
            }
            default:
                break;
        }
    }
    if (read != 0 || errors.failed)
        return failure();
    if (rootName_.empty())
        return unreadable(file_, "The file holds no XML document.");
    if (schema && xmlTextReaderIsValid(reader.get()) != 1)
        return Error{kRavelongErrorDomain, texts::kBackupInvalidCode,
                     file_.string() + " fails to validate", errors.message};
    if (canonical) {
        canonical->flush();
        if (!canonical->ok())
            return unreadable(file_, "The file's text could not be checked.");
    }
    return Status::success();
}

}  // namespace ravelong
