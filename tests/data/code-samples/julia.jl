using LinearAlgebra

mutable struct Particle
    position::Vector{Float64}
    velocity::Vector{Float64}
end

function step!(p::Particle, dt::Float64)
    p.position .+= p.velocity .* dt
    return p
end

particles = [Particle(rand(3), rand(3)) for _ in 1:10]
for p in particles
    step!(p, 0.1)
end
println(norm(particles[1].position))
