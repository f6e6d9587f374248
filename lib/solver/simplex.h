// Downhill simplex minimisation over n coordinates, for a fixed number of steps.
//
//   SimplexObjective(vertex)       stores the objective of vertex[1..n] in vertex[0]
//   Simplex(n, vertices, objective, iterations, result)
//                                  vertices: n + 1 pointers to arrays of 1 + n doubles
//                                  (value, then coordinates) whose coordinates the
//                                  caller has set; they are evaluated first and then
//                                  moved in place. result (1 + n doubles) receives the
//                                  first vertex with the smallest value at the end.
//
// There is no convergence test: every one of the iterations steps runs.
#pragma once

using SimplexObjective = void (*)(double* vertex);

void Simplex(int n, double* const* vertices, SimplexObjective objective, int iterations,
             double* result);
