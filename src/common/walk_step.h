// What a visitor tells the walk that calls it, after each thing visited.
#pragma once

enum class WalkStep { kGoOn, kStop };
