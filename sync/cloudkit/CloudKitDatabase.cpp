#include "sync/cloudkit/CloudKitDatabase.h"

#include <algorithm>

namespace ravelong {

const CKValue* CKRecord::field(const std::string& key) const {
    for (const auto& [name, value] : fields)
        if (name == key)
            return &value;
    return nullptr;
}

void CKRecord::setField(const std::string& key, CKValue value) {
    for (auto& [name, existing] : fields)
        if (name == key) {
            existing = std::move(value);
            return;
        }
    fields.emplace_back(key, std::move(value));
}

bool CKError::isPartialFailureOnlyOf(std::initializer_list<int> codes) const {
    if (code != CKErrorCode::partialFailure || partialErrors.empty())
        return false;
    return std::all_of(partialErrors.begin(), partialErrors.end(), [&](const CKItemError& item) {
        return std::find(codes.begin(), codes.end(), item.code) != codes.end();
    });
}

}  // namespace ravelong
