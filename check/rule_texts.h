// What a technician reads on hovering an item's mark or value: the item's rule in plain words, with
// its thresholds, and after a check run the figure this PC gave. Written from the rules' own
// constants, beside them.
#pragma once

#include "check/rules.h"
#include "text/text.h"
#include "report/labels.h"

// "Passes with 1,901 MB or more."
CString RuleText(ResultItem item);

// What the item's rule judged on this PC, in the rule's own terms: "1,024 MB".
CString FigureText(ResultItem item, const RuleFigures& figures);

// The rule, and "This PC: <figure>." when the figures are this PC's; an imported report's figures
// come from another PC, so its items are explained by their rule alone (null figures).
CString ItemExplanation(ResultItem item, const RuleFigures* figures);

// The rule, and that WMI gave this PC's figure no answer within the deadline.
CString NoWmiAnswerExplanation(ResultItem item, std::uint32_t deadlineMs);
// An item Windows PE's run does not judge, and why.
CString WindowsPeExplanation(ResultItem item);
