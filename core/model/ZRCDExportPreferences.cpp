#include "core/model/ZRCDExportPreferences.h"

#include "core/model/ContextSaving.h"
#include "core/model/UndoSuppression.h"
#include "store/ManagedObjectContext.h"

namespace ravelong {

EntityDescription& ZRCDExportPreferences::entityDescription() {
    static EntityDescription description =
        EntityBuilder<ZRCDExportPreferences>("ZRCDExportPreferences")
            .attribute<&ZRCDExportPreferences::timingsExport_>("timingsExport",
                                                               AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::csvEncoding_>("csvEncoding", AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::csvDelimiter_>("csvDelimiter", AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::csvRounding_>("csvRounding", AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::csvSplitTask_>("csvSplitTask", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvDateFormat_>("csvDateFormat",
                                                               AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::csvDurationFormat_>("csvDurationFormat",
                                                                   AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::csvDurations_>("csvDurations", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvShowSeconds_>("csvShowSeconds",
                                                                AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvTotalTime_>("csvTotalTime", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvStartDates_>("csvStartDates", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvEndDates_>("csvEndDates", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvStartTimes_>("csvStartTimes", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvEndTimes_>("csvEndTimes", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvColumnTitles_>("csvColumnTitles",
                                                                 AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvNotes_>("csvNotes", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvTaskDescriptions_>("csvTaskDescriptions",
                                                                     AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvTaskDescInNotes_>("csvTaskDescInNotes",
                                                                    AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvRoundedDurations_>("csvRoundedDurations",
                                                                     AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::csvRoundedEndTimes_>("csvRoundedEndTimes",
                                                                    AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::imageFileType_>("imageFileType",
                                                               AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::imageTransparent_>("imageTransparent",
                                                                  AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::imageQuality_>("imageQuality", AttributeType::Int16)
            .attribute<&ZRCDExportPreferences::imageLegend_>("imageLegend", AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::imageLegendFullName_>("imageLegendFullName",
                                                                     AttributeType::Bool)
            .attribute<&ZRCDExportPreferences::uuid_>("uuid", AttributeType::String)
            .build();
    return description;
}

void ZRCDExportPreferences::setTimingsExport(std::int16_t value) {
    setAttribute(kTimingsExport, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvEncoding(std::int16_t value) {
    setAttribute(kCsvEncoding, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvDelimiter(std::int16_t value) {
    setAttribute(kCsvDelimiter, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvRounding(std::int16_t value) {
    setAttribute(kCsvRounding, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvSplitTask(bool value) {
    setAttribute(kCsvSplitTask, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvDateFormat(std::int16_t value) {
    setAttribute(kCsvDateFormat, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvDurationFormat(std::int16_t value) {
    setAttribute(kCsvDurationFormat, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvDurations(bool value) {
    setAttribute(kCsvDurations, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvShowSeconds(bool value) {
    setAttribute(kCsvShowSeconds, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvTotalTime(bool value) {
    setAttribute(kCsvTotalTime, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvStartDates(bool value) {
    setAttribute(kCsvStartDates, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvEndDates(bool value) {
    setAttribute(kCsvEndDates, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvStartTimes(bool value) {
    setAttribute(kCsvStartTimes, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvEndTimes(bool value) {
    setAttribute(kCsvEndTimes, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvColumnTitles(bool value) {
    setAttribute(kCsvColumnTitles, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvNotes(bool value) {
    setAttribute(kCsvNotes, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvTaskDescriptions(bool value) {
    setAttribute(kCsvTaskDescriptions, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvTaskDescInNotes(bool value) {
    setAttribute(kCsvTaskDescInNotes, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvRoundedDurations(bool value) {
    setAttribute(kCsvRoundedDurations, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setCsvRoundedEndTimes(bool value) {
    setAttribute(kCsvRoundedEndTimes, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setImageFileType(std::int16_t value) {
    setAttribute(kImageFileType, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setImageTransparent(bool value) {
    setAttribute(kImageTransparent, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setImageQuality(std::int16_t value) {
    setAttribute(kImageQuality, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setImageLegend(bool value) {
    setAttribute(kImageLegend, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setImageLegendFullName(bool value) {
    setAttribute(kImageLegendFullName, value_conversion::toValue(value));
}
void ZRCDExportPreferences::setUuid(std::optional<std::string> value) {
    setAttribute(kUuid, value_conversion::toValue(value));
}

namespace {

void applyDefaults(ZRCDExportPreferences& p) {
    p.setTimingsExport(0);      // CSV
    p.setCsvEncoding(0);        // UTF-8
    p.setCsvDelimiter(0);       // comma
    p.setCsvRounding(0);        // minutes to nearest
    p.setCsvDateFormat(0);      // short date style
    p.setCsvDurationFormat(1);  // "0:00"
    p.setCsvColumnTitles(true);
    p.setCsvStartDates(true);
    p.setCsvStartTimes(true);
    p.setCsvEndDates(true);
    p.setCsvEndTimes(true);
    p.setCsvDurations(true);
    p.setCsvNotes(true);
    p.setCsvTotalTime(true);
    p.setImageFileType(1);  // PNG
    p.setImageQuality(80);
    p.setImageLegend(true);
}

}  // namespace

ZRCDExportPreferences* ZRCDExportPreferences::getPreferences_inContext(
    ManagedObjectContext& context) {
    if (auto* fixed = context.firstObjectWithValue<ZRCDExportPreferences>(
            kUuid, Value(std::string(kExportPreferencesUUID)))) {
        return fixed;
    }
    // Records from elsewhere: take the smallest uuid, so every computer picks the same one.
    ZRCDExportPreferences* best = nullptr;
    for (ZRCDExportPreferences* candidate : context.fetchAll<ZRCDExportPreferences>()) {
        if (!best || candidate->uuid().value_or("") < best->uuid().value_or(""))
            best = candidate;
    }
    if (best)
        return best;

    ZRCDExportPreferences* created = nullptr;
    {
        ScopedUndoRegistrationOff undoOff(context);
        created = context.insertNewObject<ZRCDExportPreferences>();
        created->setUuid(std::string(kExportPreferencesUUID));
        applyDefaults(*created);
        context.processPendingChanges();
    }
    saveThroughDelegateLoggingFailure(context, "getExportPreferences");
    return created;
}

}  // namespace ravelong
