#pragma once

// Deletes a folder's files (read-only ones too) and subfolders, then the
// folder. A junction inside is removed as a link: what it points at is not the
// folder's. Paths longer than 2048 characters are left alone.
void DeleteFolderTree(const wchar_t* folder);
