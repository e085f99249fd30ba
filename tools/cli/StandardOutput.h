#pragma once

// What a command printed must have reached standard output: a command that
// ended well but whose output was lost (a full disk, a closed pipe) fails.
// Returns status, or 1 (when status was 0) after a line on stderr.
[[nodiscard]] int withOutputChecked(int status);
