#pragma once

// Whether the roster lists a running server application of this user.

bool IsServerRunning();
