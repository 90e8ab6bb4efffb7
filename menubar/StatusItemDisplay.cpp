#include "menubar/StatusItemDisplay.h"

namespace ravelong {

std::string StatusItemDisplay::labelText() const {
    std::string label = taskName;
    for (const std::string* part : {&timeText, &secondsText}) {
        if (part->empty())
            continue;
        if (!label.empty())
            label += ' ';
        label += *part;
    }
    return label;
}

std::string StatusItemDisplay::toolTipText() const {
    std::string tip = currentTaskName;
    for (const std::string* line : {&totalLine, &runningLine, &lastStopText}) {
        if (line->empty())
            continue;
        if (!tip.empty())
            tip += '\n';
        tip += *line;
    }
    return tip;
}

}  // namespace ravelong
