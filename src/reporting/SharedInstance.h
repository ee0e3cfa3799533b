#pragma once
// The process-wide instance of a reporter: made on first use from the shipped
// data files, destroyed with the application object (its poster's thread must
// not outlive Qt). Asked for again after that, a new one is made.

#include "base/Globals.h"

#include <QCoreApplication>
#include <mutex>

template <class T> class SharedInstance {
public:
    static T& get() {
        std::lock_guard lock(s_mutex);
        if (!s_instance) {
            s_instance = new T(QCTRL_PATH, QFMT_PATH);
            if (QCoreApplication::instance())
                qAddPostRoutine(&destroy);
        }
        return *s_instance;
    }

    // Drops the instance; the next get() makes a new one from the data files then
    // in the resources folder. Nothing may be using the old one.
    static void reset() { destroy(); }

private:
    static void destroy() {
        std::lock_guard lock(s_mutex);
        delete s_instance;
        s_instance = nullptr;
    }

    static inline std::mutex s_mutex;
    static inline T* s_instance = nullptr;
};
