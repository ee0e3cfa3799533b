#pragma once
// Work the user asked for and waits on. While one is held, macOS keeps the
// process out of App Nap, which would otherwise slow its timers and network
// once the window is hidden or minimised; the machine may still sleep when
// idle. Nothing happens on other platforms. Any thread; held from
// construction until destruction or end().

class UserActivity {
public:
    explicit UserActivity(const char* reason);
    ~UserActivity();
    UserActivity(const UserActivity&) = delete;
    UserActivity& operator=(const UserActivity&) = delete;

    // Ends the activity early; later calls do nothing.
    void end();

private:
    const void* m_token = nullptr; // the system's activity object, retained
};
