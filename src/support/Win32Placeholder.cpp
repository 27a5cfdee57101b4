// Keeps the Win32 support library non-empty until its modules land.
