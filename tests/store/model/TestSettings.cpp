#include "tests/store/model/TestSettings.h"

namespace ravelong::store_testing {

EntityDescription& TestSettings::entityDescription() {
    static EntityDescription description =
        EntityBuilder<TestSettings>("Settings")
            .attribute<&TestSettings::uuid_>("uuid", AttributeType::String)
            .attribute<&TestSettings::newDay_>("newDay", AttributeType::Int16)
            .attribute<&TestSettings::allowMany_>("allowMany", AttributeType::Bool)
            .attribute<&TestSettings::title_>("title", AttributeType::String)
            .attribute<&TestSettings::level_>("level", AttributeType::Int64)
            .build();
    return description;
}

}  // namespace ravelong::store_testing
