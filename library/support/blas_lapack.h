// Prototypes of the BLAS and LAPACK routines the library calls (reference Fortran interface:
// every argument by pointer, character arguments followed by hidden lengths at the end).
#pragma once

#include <cstddef>

extern "C" {

// ---- BLAS level 1
void dcopy_(const int* n, const double* x, const int* incx, double* y, const int* incy);  // y := x
double ddot_(const int* n, const double* x, const int* incx, const double* y, const int* incy);
void daxpy_(const int* n, const double* a, const double* x, const int* incx, double* y,
            const int* incy);                                                 // y += a x
void dscal_(const int* n, const double* a, double* x, const int* incx);      // x := a x
double dnrm2_(const int* n, const double* x, const int* incx);               // ||x||_2
double dasum_(const int* n, const double* x, const int* incx);               // sum |x_i|
int idamax_(const int* n, const double* x, const int* incx);                 // argmax |x_i|
void dswap_(const int* n, double* x, const int* incx, double* y, const int* incy);

// ---- BLAS level 2 and 3
void dgemv_(const char* trans, const int* m, const int* n, const double* alpha, const double* a,
            const int* lda, const double* x, const int* incx, const double* beta, double* y,
            const int* incy, std::size_t trans_len);                         // y := a op(A) x + b y
void dger_(const int* m, const int* n, const double* alpha, const double* x, const int* incx,
           const double* y, const int* incy, double* a, const int* lda);     // A += a x y'
void dtrmv_(const char* uplo, const char* trans, const char* diag, const int* n, const double* a,
            const int* lda, double* x, const int* incx, std::size_t, std::size_t,
            std::size_t);                                                    // x := op(T) x
void dtrsv_(const char* uplo, const char* trans, const char* diag, const int* n, const double* a,
            const int* lda, double* x, const int* incx, std::size_t, std::size_t,
            std::size_t);                                                    // x := op(T)^-1 x
void dtrmm_(const char* side, const char* uplo, const char* transa, const char* diag,
            const int* m, const int* n, const double* alpha, const double* a, const int* lda,
            double* b, const int* ldb, std::size_t, std::size_t, std::size_t,
            std::size_t);                                                    // B := a op(T) B
void dgemm_(const char* transa, const char* transb, const int* m, const int* n, const int* k,
            const double* alpha, const double* a, const int* lda, const double* b,
            const int* ldb, const double* beta, double* c, const int* ldc, std::size_t,
            std::size_t);                                                    // C := a AB + b C

// ---- LAPACK
// Scaled sum of squares: scale^2 * sumsq := x'x + scale^2 * sumsq.
void dlassq_(const int* n, const double* x, const int* incx, double* scale, double* sumsq);
void dlacpy_(const char* uplo, const int* m, const int* n, const double* a, const int* lda,
             double* b, const int* ldb, std::size_t);                        // B := A (part)
double dlantr_(const char* norm, const char* uplo, const char* diag, const int* m, const int* n,
               const double* a, const int* lda, double* work, std::size_t, std::size_t,
               std::size_t);                                                 // norm of trapezoid
void dlaset_(const char* uplo, const int* m, const int* n, const double* alpha,
             const double* beta, double* a, const int* lda, std::size_t);    // fill off-diag/diag
void dgeqrf_(const int* m, const int* n, double* a, const int* lda, double* tau, double* work,
             const int* lwork, int* info);                                   // blocked QR
void dgeqr2_(const int* m, const int* n, double* a, const int* lda, double* tau, double* work,
             int* info);                                                     // unblocked QR
void dlarfg_(const int* n, double* alpha, double* x, const int* incx,
             double* tau);                                                   // make reflector
void dlarf_(const char* side, const int* m, const int* n, const double* v, const int* incv,
            const double* tau, double* c, const int* ldc, double* work,
            std::size_t);                                                    // apply reflector
double dlapy2_(const double* x, const double* y);                            // sqrt(x^2+y^2)
int ilaenv_(const int* ispec, const char* name, const char* opts, const int* n1, const int* n2,
            const int* n3, const int* n4, std::size_t, std::size_t);         // block sizes
}
