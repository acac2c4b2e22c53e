// Ownership of one reference to a GObject (libmm-glib's and GIO's objects alike).
#pragma once

#include <glib-object.h>

#include <memory>

namespace movira {

struct GObjectUnref {
    void operator()(gpointer object) const {
        if (object) g_object_unref(object);
    }
};

template <class T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

}  // namespace movira
