#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/Instant.h"
#include "store/ManagedObject.h"

namespace ravelong {

class ManagedObjectContext;

// The uuid of the one export preferences record, the same on every computer so that synchronised
// stores agree on which record it is.
inline constexpr std::string_view kExportPreferencesUUID = "EXPORTPREFERENCES";

// The single record of CSV and chart image export settings, shared between computers.
class ZRCDExportPreferences : public ManagedObject {
public:
    enum Property : int {
        kTimingsExport,
        kCsvEncoding,
        kCsvDelimiter,
        kCsvRounding,
        kCsvSplitTask,
        kCsvDateFormat,
        kCsvDurationFormat,
        kCsvDurations,
        kCsvShowSeconds,
        kCsvTotalTime,
        kCsvStartDates,
        kCsvEndDates,
        kCsvStartTimes,
        kCsvEndTimes,
        kCsvColumnTitles,
        kCsvNotes,
        kCsvTaskDescriptions,
        kCsvTaskDescInNotes,
        kCsvRoundedDurations,
        kCsvRoundedEndTimes,
        kImageFileType,
        kImageTransparent,
        kImageQuality,
        kImageLegend,
        kImageLegendFullName,
        kUuid,
        kPropertyCount,  // keep last: the number of properties
    };

    static EntityDescription& entityDescription();

    std::int16_t timingsExport() const { return timingsExport_; }
    void setTimingsExport(std::int16_t value);
    std::int16_t csvEncoding() const { return csvEncoding_; }
    void setCsvEncoding(std::int16_t value);
    std::int16_t csvDelimiter() const { return csvDelimiter_; }
    void setCsvDelimiter(std::int16_t value);
    std::int16_t csvRounding() const { return csvRounding_; }
    void setCsvRounding(std::int16_t value);
    bool csvSplitTask() const { return csvSplitTask_; }
    void setCsvSplitTask(bool value);
    std::int16_t csvDateFormat() const { return csvDateFormat_; }
    void setCsvDateFormat(std::int16_t value);
    std::int16_t csvDurationFormat() const { return csvDurationFormat_; }
    void setCsvDurationFormat(std::int16_t value);
    bool csvDurations() const { return csvDurations_; }
    void setCsvDurations(bool value);
    bool csvShowSeconds() const { return csvShowSeconds_; }
    void setCsvShowSeconds(bool value);
    bool csvTotalTime() const { return csvTotalTime_; }
    void setCsvTotalTime(bool value);
    bool csvStartDates() const { return csvStartDates_; }
    void setCsvStartDates(bool value);
    bool csvEndDates() const { return csvEndDates_; }
    void setCsvEndDates(bool value);
    bool csvStartTimes() const { return csvStartTimes_; }
    void setCsvStartTimes(bool value);
    bool csvEndTimes() const { return csvEndTimes_; }
    void setCsvEndTimes(bool value);
    bool csvColumnTitles() const { return csvColumnTitles_; }
    void setCsvColumnTitles(bool value);
    bool csvNotes() const { return csvNotes_; }
    void setCsvNotes(bool value);
    bool csvTaskDescriptions() const { return csvTaskDescriptions_; }
    void setCsvTaskDescriptions(bool value);
    bool csvTaskDescInNotes() const { return csvTaskDescInNotes_; }
    void setCsvTaskDescInNotes(bool value);
    bool csvRoundedDurations() const { return csvRoundedDurations_; }
    void setCsvRoundedDurations(bool value);
    bool csvRoundedEndTimes() const { return csvRoundedEndTimes_; }
    void setCsvRoundedEndTimes(bool value);
    std::int16_t imageFileType() const { return imageFileType_; }
    void setImageFileType(std::int16_t value);
    bool imageTransparent() const { return imageTransparent_; }
    void setImageTransparent(bool value);
    std::int16_t imageQuality() const { return imageQuality_; }
    void setImageQuality(std::int16_t value);
    bool imageLegend() const { return imageLegend_; }
    void setImageLegend(bool value);
    bool imageLegendFullName() const { return imageLegendFullName_; }
    void setImageLegendFullName(bool value);
    const std::optional<std::string>& uuid() const { return uuid_; }
    void setUuid(std::optional<std::string> value);

    // The export preferences: the record with uuid "EXPORTPREFERENCES", else (a store from
    // before that uuid was fixed, or one a merge gave several records) the one with the
    // smallest uuid. When there is none, a record with the defaults below is inserted with undo
    // registration off and saved through the context's delegate. Never null.
    //
    // Defaults: CSV with column titles, start and end dates and times, durations ("0:00"),
    // notes and a total; comma, UTF-8, short dates; PNG charts with legend, JPEG quality 80.
    static ZRCDExportPreferences* getPreferences_inContext(ManagedObjectContext& context);

private:
    friend class EntityBuilder<ZRCDExportPreferences>;
    ZRCDExportPreferences() : ManagedObject(entityDescription()) {}
    ZRCDExportPreferences(const ZRCDExportPreferences&) = default;

    std::int16_t timingsExport_ = 0;
    std::int16_t csvEncoding_ = 0;
    std::int16_t csvDelimiter_ = 0;
    std::int16_t csvRounding_ = 0;
    bool csvSplitTask_ = false;
    std::int16_t csvDateFormat_ = 0;
    std::int16_t csvDurationFormat_ = 0;
    bool csvDurations_ = false;
    bool csvShowSeconds_ = false;
    bool csvTotalTime_ = false;
    bool csvStartDates_ = false;
    bool csvEndDates_ = false;
    bool csvStartTimes_ = false;
    bool csvEndTimes_ = false;
    bool csvColumnTitles_ = false;
    bool csvNotes_ = false;
    bool csvTaskDescriptions_ = false;
    bool csvTaskDescInNotes_ = false;
    bool csvRoundedDurations_ = false;
    bool csvRoundedEndTimes_ = false;
    std::int16_t imageFileType_ = 0;
    bool imageTransparent_ = false;
    std::int16_t imageQuality_ = 0;
    bool imageLegend_ = false;
    bool imageLegendFullName_ = false;
    std::optional<std::string> uuid_;
};

}  // namespace ravelong
