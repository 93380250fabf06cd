#pragma once

// The program's start, and what its end does once no transfer runs.
void Main();
// Saves page 1's choices and unloads every window in order; the hook that
// ExitApplication runs.
void EndProgram();

// The settings file: restored into page 1 at start-up, written from it at the end.
void LoadSettings();
void SaveSettings();
