#pragma once

struct TransferChoices;

// The steps of a transfer as the windows take them, on the program's one
// transfer session: each says in the program's own words what went wrong.

// Opens the port the choices name. False, after the message, when it cannot be opened.
bool OpenCommPort(const TransferChoices &choices);
// Never fails; may be repeated.
void CloseCommPort();
// Opens the file the last choices name. False when it cannot be used or the
// user would rather not (replacing a file's contents, sending a damaged file);
// the file is then closed.
bool OpenTransferFile();
// Never fails; may be repeated.
void CloseTransferFile();

// Runs the whole transfer on page 3 and returns when it has ended.
void RunTransfer();
