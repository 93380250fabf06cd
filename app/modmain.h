#pragma once

// The program's start and its one orderly way out.
void Main();
void ExitApplication();
// Ends the program if ExitApplication was called while the transfer that has
// just returned was running; RunTransfer calls it last.
void ExitIfAskedDuringTransfer();

// The settings file: restored into page 1 at start-up, written from it at the end.
void LoadSettings();
void SaveSettings();

// The serial link and the transfer file. Each Open shows its own message and
// sets page 1's abort flag when it fails; the Closes never fail and may be
// repeated.
void OpenCommPort();
void CloseCommPort();
void OpenTransferFile();
void CloseTransferFile();

// Runs the whole transfer on page 3 and returns when it has ended.
void RunTransfer();

// Page 3's View Report: composes the last transfer's report into the report window.
void ShowReport();
