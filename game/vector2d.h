// vector2d.h - the game's two small classes: a 2D position or velocity, and an explosion.
#pragma once

// A position or velocity in screen pixels (y grows downward).
class Vector2D {
public:
    float x;
    float y;

    Vector2D() : x(0), y(0) {}
    Vector2D(float x, float y) : x(x), y(y) {}
    virtual ~Vector2D() = default;

    Vector2D operator+(const Vector2D& other) const { return Vector2D(x + other.x, y + other.y); }
    Vector2D operator*(float factor) const { return Vector2D(x * factor, y * factor); }
};

// An explosion: its top-left position and the animation frame shown next (0-9;
// 10 or more means the slot is free). A new slot starts free, off the screen.
class bakuhatu : public Vector2D {
public:
    int frame;

    bakuhatu() : Vector2D(1000, 0), frame(10) {}
};
