#pragma once

// This process's id, as the system's own tools name it (kill, taskkill /pid).
long processId();
