! A heat-bath Monte Carlo of the classical Heisenberg model in Fortran on
! the sampler's module: the same physics as the C program, kept short.
!   heat_bath_fortran TABLE chain|cubic L BETA SWEEPS [SEED]
! L even, SWEEPS at least 20. Prints the energy per bond with its error
! from 20 bins of the sweeps, the exact value for the infinite chain, and
! the draws outside the table.
program heat_bath_fortran
  use o3_sampler
  use, intrinsic :: iso_fortran_env, only: int64, real64, error_unit
  implicit none
  integer, parameter :: bins = 20
  real(real64), parameter :: two_pi = 6.283185307179586_real64
  type(o3_table) :: table
  type(o3_rng) :: rng
  character(len=512) :: path, lattice_name, arg, message
  integer :: L, dim, sweeps, status, sweep, b, n_sites, neighbours, io(4), bin_count(bins)
  integer(int64) :: seed
  real(real64) :: beta, bin_sum(bins), mean, err
  real(real64), allocatable :: s(:, :), h(:), y(:), f(:, :)

  if (command_argument_count() < 5) then
    write (error_unit, '(a)') 'usage: heat_bath_fortran TABLE chain|cubic L BETA SWEEPS [SEED]'
    stop 2
  end if
  call get_command_argument(1, path)
  call get_command_argument(2, lattice_name)
  call get_command_argument(3, arg)
  read (arg, *, iostat=io(1)) L
  call get_command_argument(4, arg)
  read (arg, *, iostat=io(2)) beta
  call get_command_argument(5, arg)
  read (arg, *, iostat=io(3)) sweeps
  seed = 1
  io(4) = 0
  if (command_argument_count() >= 6) then
    call get_command_argument(6, arg)
    read (arg, *, iostat=io(4)) seed
  end if
  dim = merge(1, 3, trim(lattice_name) == 'chain')
  ! A checkerboard sweep updates the sites of one parity together, from the
  ! old spins: with L odd the periodic wrap makes two of them neighbours,
  ! and the sweep would no longer be a heat bath.
  if (any(io /= 0) .or. (trim(lattice_name) /= 'chain' .and. trim(lattice_name) /= 'cubic')) then
    write (error_unit, '(a)') &
        'heat_bath_fortran: the arguments are TABLE chain|cubic L BETA SWEEPS [SEED]'
    stop 2
  else if (L < 2 .or. modulo(L, 2) /= 0 .or. (dim == 3 .and. L > 1290)) then
    write (error_unit, '(a)') 'heat_bath_fortran: L must be even, from 2 (to 1290 for cubic)'
    stop 2
  else if (.not. (beta >= 0.0_real64 .and. beta <= 1.0e6_real64)) then
    write (error_unit, '(a)') 'heat_bath_fortran: BETA must be from 0 to 1e6'
    stop 2
  else if (sweeps < bins) then
    write (error_unit, '(a, i0, a)') 'heat_bath_fortran: SWEEPS must be at least ', bins, &
        ', one for each bin of the error'
    stop 2
  end if
  n_sites = L**dim
  neighbours = 2 * dim

  call o3_open(table, path, status, message)
  if (status /= o3_ok) then
    write (error_unit, '(a)') trim(message)
    stop 1
  end if
  call o3_rng_seed(rng, seed)
  allocate (s(3, 0:n_sites - 1), h(n_sites / 2 + 1), y(n_sites / 2 + 1), f(3, n_sites / 2 + 1))
  ! The aligned (cold) start: every h is 2 d beta at first.
  s = 0.0_real64
  s(3, :) = 1.0_real64
  do sweep = 1, sweeps / 10
    call checkerboard_sweep()
  end do
  ! The bins differ in size by one sweep when SWEEPS is not a multiple of
  ! their number: each is averaged over its own.
  bin_sum = 0.0_real64
  bin_count = 0
  do sweep = 0, sweeps - 1
    call checkerboard_sweep()
    b = 1 + int(int(sweep, int64) * bins / sweeps)
    bin_sum(b) = bin_sum(b) + energy_per_bond()
    bin_count(b) = bin_count(b) + 1
  end do
  bin_sum = bin_sum / bin_count
  mean = sum(bin_sum) / bins
  err = sqrt(sum((bin_sum - mean)**2) / (bins * (bins - 1)))
  write (*, '(a, f10.6, a, f10.6)') 'energy per bond ', mean, ' +- ', err
  ! -(coth beta - 1/beta), which tends to 0 with beta.
  if (dim == 1) write (*, '(a, f10.6)') 'infinite chain, exact ', &
      merge(-(1.0_real64 / tanh(beta) - 1.0_real64 / beta), 0.0_real64, beta > 0.0_real64)
  write (*, '(a, i0)') 'draws outside the table: ', o3_outside_count(table)
  call o3_close(table)
  ! A main program's arrays are never freed by the end of the run itself.
  deallocate (s, h, y, f)

contains

  integer function site(x, yy, z)
    integer, intent(in) :: x, yy, z
    site = modulo(x, L) + L * (modulo(yy, L) + L * modulo(z, L))
  end function site

  ! Every site of one parity, then the other: the sites of one parity are
  ! independent of each other, so their y are drawn together.
  subroutine checkerboard_sweep()
    integer :: parity, x, yy, z, n, k, i, d
    integer :: offsets(3, 6)
    real(real64) :: nrm(3), e1(3), e2(3), r, phi, sgn, a, bb
    offsets = reshape([1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1], [3, 6])
    do parity = 0, 1
      do z = 0, merge(0, L - 1, dim == 1)
        do yy = 0, merge(0, L - 1, dim == 1)
          n = 0
          do x = modulo(parity + yy + z, 2), L - 1, 2
            n = n + 1
            f(:, n) = 0.0_real64
            do d = 1, neighbours
              f(:, n) = f(:, n) + s(:, site(x + offsets(1, d), yy + offsets(2, d), z + offsets(3, d)))
            end do
            f(:, n) = beta * f(:, n)
            h(n) = norm2(f(:, n))
          end do
          call o3_draw_many(table, h(1:n), y(1:n), rng)
          k = 0
          do x = modulo(parity + yy + z, 2), L - 1, 2
            k = k + 1
            ! The new spin at angle acos(y) to the field, its azimuth
            ! uniform, in a frame around the field's direction.
            nrm = [0.0_real64, 0.0_real64, 1.0_real64]
            if (h(k) > 1.0e-100_real64) nrm = f(:, k) / h(k)
            sgn = sign(1.0_real64, nrm(3))
            a = -1.0_real64 / (sgn + nrm(3))
            bb = nrm(1) * nrm(2) * a
            e1 = [1.0_real64 + sgn * nrm(1)**2 * a, sgn * bb, -sgn * nrm(1)]
            e2 = [bb, sgn + nrm(2)**2 * a, -nrm(2)]
            r = sqrt((1.0_real64 - y(k)) * (1.0_real64 + y(k)))
            phi = two_pi * o3_rng_uniform(rng)
            i = site(x, yy, z)
            s(:, i) = y(k) * nrm + r * (cos(phi) * e1 + sin(phi) * e2)
          end do
        end do
      end do
    end do
  end subroutine checkerboard_sweep

  ! -(sum over bonds of s_i . s_j) / bonds, each site owning its bonds in
  ! the positive directions.
  real(real64) function energy_per_bond()
    integer :: x, yy, z, d
    energy_per_bond = 0.0_real64
    do z = 0, merge(0, L - 1, dim == 1)
      do yy = 0, merge(0, L - 1, dim == 1)
        do x = 0, L - 1
          do d = 1, dim
            energy_per_bond = energy_per_bond - dot_product(s(:, site(x, yy, z)), &
                s(:, site(x + merge(1, 0, d == 1), yy + merge(1, 0, d == 2), z + merge(1, 0, d == 3))))
          end do
        end do
      end do
    end do
    energy_per_bond = energy_per_bond / real(dim * n_sites, real64)
  end function energy_per_bond

end program heat_bath_fortran
