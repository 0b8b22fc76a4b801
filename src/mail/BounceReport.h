#pragma once
// Reading the dead address out of a bounce: the transcript line of a refused recipient
// (">>> RCPT TO:<address>"), or the delivery-status part of a delivery report
// (multipart/report; report-type=delivery-status) that today's mail servers send.
#include <string>
#include <vector>

// The first line holding ">>>" and an at sign, without its first three characters, gives
// the text between its first '<' and its first '>'. `found` tells whether there was such
// a line; the address is empty when its brackets give nothing.
std::string TranscriptAddress(const std::vector<std::string> &lines, bool *found);

// The recipients a delivery report gives up on: each Final-Recipient whose Action is
// "failed" with a permanent (5.x.x) Status. Delayed or temporarily failed recipients are
// left out. Nothing for a message that is not a delivery report.
std::vector<std::string> FailedRecipients(const std::vector<std::string> &lines);
